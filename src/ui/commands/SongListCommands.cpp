#include "SongListCommands.h"

#include "EditorContext.h"

namespace pvsm::ui {

AppendSongsCommand::AppendSongsCommand(EditorContext &context, const QStringList &paths,
                                       const SongAdmissionProbe &probe)
    : AppendSongsCommand(context, planSongAdditions(context.project(), paths, probe))
{
}

AppendSongsCommand::AppendSongsCommand(EditorContext &context, const SongAdditions &p)
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
