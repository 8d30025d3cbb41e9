#include "SongListCommands.h"

#include "EditorContext.h"

namespace pvsm::ui {

AppendSongsCommand::Plan AppendSongsCommand::plan(EditorContext &context, const QStringList &paths,
                                                  const SongAdmissionProbe &probe)
{
    Project trial;
    trial.settings = context.project().settings;
    trial.songs = context.project().songs;
    trial.lyricFiles = context.project().lyricFiles;
    const size_t songsBefore = trial.songs.size();
    const qsizetype lyricsBefore = trial.lyricFiles.size();
    Plan p;
    p.result = addSongs(trial, paths, probe);
    p.songs.assign(trial.songs.begin() + qsizetype(songsBefore), trial.songs.end());
    p.lyricFiles = trial.lyricFiles.mid(lyricsBefore);
    return p;
}

AppendSongsCommand::AppendSongsCommand(EditorContext &context, const QStringList &paths,
                                       const SongAdmissionProbe &probe)
    : AppendSongsCommand(context, plan(context, paths, probe))
{
}

AppendSongsCommand::AppendSongsCommand(EditorContext &context, Plan p)
    : ListEditCommand(context, QStringLiteral("添加音乐"),
                      [songs = p.songs, lyrics = p.lyricFiles](EditorContext &c) {
                          Project &project = c.project();
                          project.songs.insert(project.songs.end(), songs.begin(), songs.end());
                          project.lyricFiles += lyrics;
                          // No song selected: the first one is; else the selection stays.
                          c.setCurrentSong(std::max(c.currentSong(), 0));
                      }),
      m_result(p.result)
{
}

RemoveSongsCommand::RemoveSongsCommand(EditorContext &context, std::vector<int> indices)
    : ListEditCommand(context, QStringLiteral("删除音乐"), [indices = std::move(indices)](EditorContext &c) {
          removeSongs(c.project(), indices);
          // The first remaining song is selected.
          c.setCurrentSong(c.project().songs.empty() ? -1 : 0);
      })
{
}

ClearSongsCommand::ClearSongsCommand(EditorContext &context)
    : ListEditCommand(context, QStringLiteral("清空音乐"), [](EditorContext &c) {
          clearSongs(c.project());
          c.setCurrentSong(-1);
      })
{
}

MoveSongCommand::MoveSongCommand(EditorContext &context, int index, int delta)
    : MoveItemCommand(context, delta < 0 ? QStringLiteral("上移音乐") : QStringLiteral("下移音乐"), moveSong,
                      [&context](int i) { context.setCurrentSong(i); }, index, delta)
{
}

LyricFolderCommand::LyricFolderCommand(EditorContext &context, const QString &folder)
    : ListEditCommand(context, QStringLiteral("设置歌词目录"), [folder](EditorContext &c) {
          c.project().settings.lyricFolder = folder;
          findLyricFilesAgain(c.project());
      })
{
}

} // namespace pvsm::ui
