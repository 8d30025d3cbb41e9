#include "ProjectFile.h"

#include "NumberRules.h"
#include "ProjectBounds.h"
#include "ProjectKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace pvsm {

namespace {

QString k(const char *name)
{
    return QString::fromLatin1(name);
}

QString styleSelectText(const Settings &s)
{
    QString text(kStyleSelectLength, QLatin1Char(' '));
    for (int i = 0; i < kTransitionCount; ++i)
        if (s.selectedTransitions[size_t(i)]) text[i] = QLatin1Char('1');
    return text;
}

std::bitset<kTransitionCount> styleSelectFromText(const QString &text)
{
    std::bitset<kTransitionCount> sel;
    for (int i = 0; i < kTransitionCount && i < text.size(); ++i) sel[size_t(i)] = text[i] == QLatin1Char('1');
    return sel;
}

void putBox(PropertyBag &bag, const char *px, const char *py, const char *pw, const char *ph, int index,
            const TextBox &box)
{
    bag.putI4(key::item(px, index), box.x);
    bag.putI4(key::item(py, index), box.y);
    bag.putI4(key::item(pw, index), box.w);
    bag.putI4(key::item(ph, index), box.h);
}

TextBox getBox(const PropertyBag &bag, const char *px, const char *py, const char *pw, const char *ph, int index)
{
    return {bag.getInt(key::item(px, index)), bag.getInt(key::item(py, index)), bag.getInt(key::item(pw, index)),
            bag.getInt(key::item(ph, index))};
}

constexpr int kMinStoredPathLength = 8;

QString rectText(const QRectF &r)
{
    auto n = [](double v) { return QString::number(v, 'g', 10); };
    return n(r.x()) + QLatin1Char(',') + n(r.y()) + QLatin1Char(',') + n(r.width()) + QLatin1Char(',') + n(r.height());
}

std::optional<QRectF> rectFromText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return std::nullopt;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v[i])) return std::nullopt;
    }
    for (int i = 2; i < 4; ++i)
        if (v[i] < kMinMotionExtent || v[i] > kMaxMotionExtent) return std::nullopt;
    // The rectangle must keep some of the picture within reach of the view.
    if (v[0] < -kMaxMotionOffset || v[0] > kMaxMotionOffset || v[1] < -kMaxMotionOffset || v[1] > kMaxMotionOffset)
        return std::nullopt;
    return QRectF(v[0], v[1], v[2], v[3]);
}

} // namespace

QString motionKeyText(const PictureMotion &motion)
{
    return rectText(motion.start) + QLatin1Char(';') + rectText(motion.end) + QLatin1Char(';')
           + QString::number(motion.curve);
}

std::optional<PictureMotion> motionFromKeyText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(';'));
    if (parts.size() != 3) return std::nullopt;
    const auto start = rectFromText(parts[0]);
    const auto end = rectFromText(parts[1]);
    bool ok = false;
    const int curve = parts[2].trimmed().toInt(&ok);
    if (!start || !end || !ok || (curve != 0 && curve != 1)) return std::nullopt;
    PictureMotion m;
    m.on = true;
    m.start = *start;
    m.end = *end;
    m.curve = curve;
    return m;
}

void WritePlayerSettings(Project &project, PropertyBag &bag, const WriteContext &context)
{
    if (project.pictures.empty()) return;
    Settings &s = project.settings;

    for (int i = 0; i < 2; ++i)
        if (!s.titleText[size_t(i)].isEmpty()) bag.putStr(key::item(key::TitleText, i + 1), s.titleText[size_t(i)]);

    bag.putBool(k(key::PlayPhotoInRamdomOrder), s.playPhotoInRamdomOrder);
    bag.putBool(k(key::IgnoreMouseMove), s.ignoreMouseMove);
    bag.putBool(k(key::ShowCursor), s.showCursor);
    bag.putBool(k(key::EnableFloating), s.enableFloating);
    bag.putBool(k(key::MuteSound), s.muteSound);
    bag.putBool(k(key::EnableTransition), s.enableTransition);
    bag.putBool(k(key::EnableHeadlineEffect), s.enableHeadlineEffect);
    bag.putBool(k(key::EnableOpening), s.enableOpening);
    bag.putBool(k(key::EnableEnding), s.enableEnding);
    bag.putBool(k(key::FilenameAsCaption), s.filenameAsCaption);
    bag.putBool(k(key::IsPackage), s.isPackage);
    bag.putBool(k(key::EnableCaption), s.enableCaption);
    bag.putBool(k(key::EnableExport), s.enableExport);
    bag.putBool(k(key::IsExportAvi), s.isExportAvi);

    bag.putStr(k(key::AppVersion), context.appVersion);

    bag.putStr(k(key::LyricFolder), s.lyricFolder);
    bag.putI4(k(key::ImgDrawScale), s.imgDrawScale);
    bag.putI4(k(key::BackgroundDrawScale), s.backgroundDrawScale);
    bag.putI4(k(key::BackgroundGradientMode), s.backgroundGradientMode);
    bag.putI4(k(key::ssDirectPlay), s.ssDirectPlay);
    bag.putBool(k(key::EnableLyric), s.enableLyric);
    bag.putI4(k(key::TitleStyle), s.titleStyle);
    bag.putBool(k(key::EnableSync), s.enableSync);
    bag.putI4(k(key::PlayMusicOrder), s.playMusicOrder);
    bag.putStr(k(key::BackGroundSet), s.backGroundSet);
    bag.putStr(k(key::ExportPassword), s.exportPassword);
    bag.putI4(k(key::SolidColor), s.solidColor);
    bag.putI4(k(key::BeginColor), s.beginColor);
    bag.putI4(k(key::EndColor), s.endColor);
    bag.putBool(k(key::IsShowTip), s.isShowTip);
    bag.putBool(k(key::EnableOpenFolder), s.enableOpenFolder);
    // Only when chosen, so records and files of shows without motion stay as they were.
    if (s.autoMotion) bag.putBool(k(key::AutoMotion), true);

    if (s.pictureFrameNum != 0 && !context.framePictureLoaded) s.pictureFrameNum = 0;
    bag.putI4(k(key::PictureFrameNum), s.pictureFrameNum);
    bag.putStr(k(key::PictureFrameImage), s.pictureFrameImage);

    for (int i = 1; i <= kTextStyleCount; ++i) {
        const TextStyle &t = s.textStyles[size_t(i - 1)];
        bag.putI4(key::item(key::FontStartColor, i), t.startColor);
        bag.putI4(key::item(key::FontEndColor, i), t.endColor);
        bag.putI4(key::item(key::BorderColor, i), t.borderColor);
        bag.putStr(key::item(key::fFontName, i), t.fontName);
        bag.putI4(key::item(key::fFontSize, i), t.size);
        bag.putI4(key::item(key::fFontAlign, i), t.align);
        bag.putI4(key::item(key::fFontPattern, i), t.pattern);
        bag.putI4(key::item(key::fBorderWidth, i), t.borderWidth);
        bag.putI4(key::item(key::fFontStyle, i), t.style);
    }

    bag.putI4(k(key::LyricPosX), s.lyricBox.x);
    bag.putI4(k(key::LyricPosY), s.lyricBox.y);
    bag.putI4(k(key::LyricPosW), s.lyricBox.w);
    bag.putI4(k(key::LyricPosH), s.lyricBox.h);
    bag.putI4(k(key::TitlePosX), s.titleBox.x);
    bag.putI4(k(key::TitlePosY), s.titleBox.y);
    bag.putI4(k(key::TitlePosW), s.titleBox.w);
    bag.putI4(k(key::TitlePosH), s.titleBox.h);
    bag.putI4(k(key::LyricDynamicFontPattern), s.lyricDynamicFontPattern);
    bag.putI4(k(key::LyricDynamicFontStartColor), s.lyricDynamicFontStartColor);
    bag.putI4(k(key::LyricDynamicFontEndColor), s.lyricDynamicFontEndColor);
    bag.putI4(k(key::LyricStyle), s.lyricStyle);

    for (int i = 0; i < kInfoTextCount; ++i)
        if (!s.txtSetting[size_t(i)].isEmpty()) bag.putStr(key::item(key::TxtSetting, i), s.txtSetting[size_t(i)]);

    // The number boxes are validated before their values are taken.
    s.timeInterval = timeIntervalFromText(numberText(s.timeInterval));
    bag.putR4(k(key::TimeInterval), s.timeInterval);
    s.transitionSpeed = transitionSpeedMsFromText(transitionSpeedText(s.transitionSpeed));
    bag.putI4(k(key::TransitionSpeed), s.transitionSpeed);
    s.openingDurationTime = titleDurationFromText(numberText(s.openingDurationTime));
    s.endingDurationTime = titleDurationFromText(numberText(s.endingDurationTime));
    bag.putR4(k(key::OpeningDurationTime), s.openingDurationTime);
    bag.putR4(k(key::EndingDurationTime), s.endingDurationTime);

    bag.putStr(k(key::StyleSelect), styleSelectText(s));
}

void WritePictureSettings(const Picture &p, int n, PropertyBag &bag, bool keepEmptyTextGroups)
{
    if (p.slideDuration > 0) bag.putR4(key::item(key::SlideDuration, n), p.slideDuration);
    if (p.posX != 0) bag.putI4(key::item(key::ImgPosX, n), p.posX);
    if (p.posY != 0) bag.putI4(key::item(key::ImgPosY, n), p.posY);
    if (!p.caption.isEmpty() || keepEmptyTextGroups) {
        bag.putStr(key::item(key::ImgCaption, n), p.caption);
        putBox(bag, key::CapPosX, key::CapPosY, key::CapPosW, key::CapPosH, n, p.captionBox);
    }
    if (!p.headline.isEmpty() || keepEmptyTextGroups) {
        bag.putStr(key::item(key::ImgHeadline, n), p.headline);
        putBox(bag, key::HeadPosX, key::HeadPosY, key::HeadPosW, key::HeadPosH, n, p.headlineBox);
        bag.putI4(key::item(key::HeadDynamicStyle, n), p.headDynamicStyle);
        bag.putI4(key::item(key::HeadSize, n), p.headStyle.size);
        bag.putI4(key::item(key::HeadPattern, n), p.headStyle.pattern);
        bag.putI4(key::item(key::HeadBorder, n), p.headStyle.border);
        bag.putI4(key::item(key::HeadStyle, n), p.headStyle.style);
        bag.putI4(key::item(key::HeadStartColor, n), p.headStyle.startColor);
        bag.putI4(key::item(key::HeadEndColor, n), p.headStyle.endColor);
        bag.putI4(key::item(key::HeadBorderColor, n), p.headStyle.borderColor);
    }
    if (p.motion.on) bag.putStr(key::item(key::ImgMotion, n), motionKeyText(p.motion));
}

void WriteProjectBag(Project &project, PropertyBag &bag, BagMode mode, const WriteContext &context)
{
    if (project.pictures.empty()) return;
    const Settings &s = project.settings;
    auto putPath = [&](const char *name, const QString &path) {
        if (path.size() >= kMinStoredPathLength) bag.putStr(k(name), path);
    };
    putPath(key::BackGroundPicture, s.backGroundPicture);
    putPath(key::OpeningImage, s.openingImage);
    putPath(key::EndingImage, s.endingImage);
    putPath(key::LogoImage, s.logoImage);

    WritePlayerSettings(project, bag, context);
    bag.putI4(k(key::VideoFormat), s.videoFormat);
    if (mode != BagMode::Full) return;

    bag.putBool(k(key::FadeOutEnd), s.fadeOutEnd);
    bag.putI4(k(key::NowI), int32_t(project.pictures.size()));
    bag.putI4(k(key::NowM), int32_t(project.songs.size()));
    bag.putI4(k(key::LyricFilesCount), int32_t(project.lyricFiles.size()));
    for (size_t i = 0; i < project.songs.size(); ++i) {
        const int n = int(i) + 1;
        bag.putStr(key::item(key::MusicNames, n), project.songs[i].path);
        bag.putR4(key::item(key::SongDuration, n), project.songs[i].durationSec);
    }
    for (int i = 0; i < project.lyricFiles.size(); ++i)
        bag.putStr(key::item(key::LyricFiles, i + 1), project.lyricFiles[i]);
    for (size_t i = 0; i < project.pictures.size(); ++i) {
        const Picture &p = project.pictures[i];
        const int n = int(i) + 1;
        bag.putStr(key::item(key::ImgNames, n), p.path);
        WritePictureSettings(p, n, bag, context.keepEmptyTextGroups);
    }
}

namespace {

// A path stored relative to the project file names a file beside it, wherever
// the program was started from.
QString resolved(const QString &path, const QString &baseDir)
{
    if (path.isEmpty() || baseDir.isEmpty() || !QDir::isRelativePath(path)) return path;
    return QDir::cleanPath(QDir(baseDir).absoluteFilePath(path));
}

void readProjectValues(Project &project, const PropertyBag &bag, BagMode mode, const ProjectEnvironment &env,
                       const SongLengthProbe &probe, const QString &baseDir)
{
    Settings &s = project.settings;
    auto boolKeep = [&](const char *name, bool current) { return bag.getBool(k(name), current); };
    auto i4 = [&](const char *name) { return bag.getInt(k(name)); };
    auto str = [&](const char *name) { return bag.getString(k(name)); };

    for (int i = 0; i < 2; ++i) s.titleText[size_t(i)] = bag.getString(key::item(key::TitleText, i + 1));

    s.playPhotoInRamdomOrder = bag.getBool(k(key::PlayPhotoInRamdomOrder));
    s.ignoreMouseMove = bag.getBool(k(key::IgnoreMouseMove));
    s.showCursor = bag.getBool(k(key::ShowCursor));
    s.enableFloating = boolKeep(key::EnableFloating, s.enableFloating);
    s.muteSound = bag.getBool(k(key::MuteSound));
    s.enableTransition = bag.getBool(k(key::EnableTransition));
    s.enableHeadlineEffect = bag.getBool(k(key::EnableHeadlineEffect));
    s.enableOpening = bag.getBool(k(key::EnableOpening));
    s.enableEnding = bag.getBool(k(key::EnableEnding));
    s.filenameAsCaption = bag.getBool(k(key::FilenameAsCaption));
    s.isPackage = bag.getBool(k(key::IsPackage));
    s.enableCaption = bag.getBool(k(key::EnableCaption));
    s.enableExport = bag.getBool(k(key::EnableExport));
    s.isExportAvi = boolKeep(key::IsExportAvi, s.isExportAvi);

    s.lyricFolder = str(key::LyricFolder);
    s.imgDrawScale = i4(key::ImgDrawScale);
    s.backgroundDrawScale = i4(key::BackgroundDrawScale);
    s.backgroundGradientMode = i4(key::BackgroundGradientMode);
    s.ssDirectPlay = i4(key::ssDirectPlay);
    s.enableLyric = bag.getBool(k(key::EnableLyric));
    s.titleStyle = i4(key::TitleStyle);
    s.enableSync = bag.getBool(k(key::EnableSync));
    s.playMusicOrder = i4(key::PlayMusicOrder);
    s.backGroundSet = str(key::BackGroundSet);
    s.exportPassword = str(key::ExportPassword);
    s.solidColor = i4(key::SolidColor);
    s.beginColor = i4(key::BeginColor);
    s.endColor = i4(key::EndColor);
    s.isShowTip = bag.getBool(k(key::IsShowTip));
    s.enableOpenFolder = boolKeep(key::EnableOpenFolder, s.enableOpenFolder);
    s.autoMotion = bag.getBool(k(key::AutoMotion));
    s.pictureFrameNum = i4(key::PictureFrameNum);
    s.pictureFrameImage = str(key::PictureFrameImage);

    for (int i = 1; i <= kTextStyleCount; ++i) {
        TextStyle &t = s.textStyles[size_t(i - 1)];
        t.startColor = bag.getInt(key::item(key::FontStartColor, i));
        t.endColor = bag.getInt(key::item(key::FontEndColor, i));
        t.borderColor = bag.getInt(key::item(key::BorderColor, i));
        t.fontName = bag.getString(key::item(key::fFontName, i));
        t.size = bag.getInt(key::item(key::fFontSize, i));
        t.align = bag.getInt(key::item(key::fFontAlign, i));
        t.pattern = bag.getInt(key::item(key::fFontPattern, i));
        t.borderWidth = bag.getInt(key::item(key::fBorderWidth, i));
        t.style = bag.getInt(key::item(key::fFontStyle, i));
    }
    // The rainbow texture never served headlines; older files that chose it get the gradient.
    if (s.textStyles[1].pattern == 2) s.textStyles[1].pattern = 6;

    s.lyricBox = {i4(key::LyricPosX), i4(key::LyricPosY), i4(key::LyricPosW), i4(key::LyricPosH)};
    s.titleBox = {i4(key::TitlePosX), i4(key::TitlePosY), i4(key::TitlePosW), i4(key::TitlePosH)};
    s.lyricDynamicFontPattern = i4(key::LyricDynamicFontPattern);
    s.lyricDynamicFontStartColor = i4(key::LyricDynamicFontStartColor);
    s.lyricDynamicFontEndColor = i4(key::LyricDynamicFontEndColor);
    s.lyricStyle = i4(key::LyricStyle);

    s.backGroundPicture = resolved(str(key::BackGroundPicture), baseDir);
    s.openingImage = resolved(str(key::OpeningImage), baseDir);
    s.endingImage = resolved(str(key::EndingImage), baseDir);
    s.logoImage = resolved(str(key::LogoImage), baseDir);

    s.timeInterval = bag.getFloat(k(key::TimeInterval));
    if (bag.contains(k(key::TransitionSpeed))) s.transitionSpeed = i4(key::TransitionSpeed);
    s.openingDurationTime = bag.getFloat(k(key::OpeningDurationTime));
    s.endingDurationTime = bag.getFloat(k(key::EndingDurationTime));

    for (int i = 0; i < kInfoTextCount; ++i) {
        const QString text = bag.getString(key::item(key::TxtSetting, i));
        if (!text.isEmpty()) s.txtSetting[size_t(i)] = text;
    }
    s.selectedTransitions = styleSelectFromText(str(key::StyleSelect));

    if (s.backGroundSet == QLatin1String("3") && s.backGroundPicture.isEmpty()) s.backGroundSet = QStringLiteral("1");

    if (bag.contains(k(key::VideoFormat))) s.videoFormat = bag.getInt(k(key::VideoFormat)) == 1 ? 1 : 0;
    if (mode == BagMode::SettingsOnly) {
        // Pvsm.ini leaves the project's fade as the new project has it.
        project.pictures.clear();
        project.songs.clear();
        project.lyricFiles.clear();
        return;
    }
    s.fadeOutEnd = bag.getBool(k(key::FadeOutEnd));
    if (!bag.contains(k(key::NowI))) return;

    // Counts come from a file; never trust them further than the keys present.
    const int32_t nowI = std::max(0, i4(key::NowI));
    const int32_t nowM = std::max(0, i4(key::NowM));
    const int32_t lyricCount = std::max(0, i4(key::LyricFilesCount));
    const auto bounded = [&](int32_t n) { return std::min<int64_t>(n, int64_t(bag.entries().size())); };

    project.songs.clear();
    for (int64_t i = 1; i <= bounded(nowM); ++i) {
        Song song;
        song.path = resolved(bag.getString(key::item(key::MusicNames, int(i))), baseDir);
        song.durationSec = bag.getFloat(key::item(key::SongDuration, int(i)));
        if (song.durationSec == 0 && probe) song.durationSec = probe(song.path);
        project.songs.push_back(song);
    }
    project.lyricFiles.clear();
    for (int64_t i = 1; i <= bounded(lyricCount); ++i)
        project.lyricFiles.append(resolved(bag.getString(key::item(key::LyricFiles, int(i))), baseDir));

    project.pictures.clear();
    for (int64_t i = 1; i <= bounded(nowI); ++i) {
        const int n = int(i);
        Picture p;
        p.path = resolved(bag.getString(key::item(key::ImgNames, n)), baseDir);
        p.slideDuration = bag.getFloat(key::item(key::SlideDuration, n));
        p.posX = bag.getInt(key::item(key::ImgPosX, n));
        p.posY = bag.getInt(key::item(key::ImgPosY, n));
        p.caption = bag.getString(key::item(key::ImgCaption, n));
        if (!p.caption.isEmpty() || bag.contains(key::item(key::CapPosX, n)))
            p.captionBox = getBox(bag, key::CapPosX, key::CapPosY, key::CapPosW, key::CapPosH, n);
        else
            p.captionBox = Project::loadedCaptionBox(env);
        p.headline = bag.getString(key::item(key::ImgHeadline, n));
        if (!p.headline.isEmpty() || bag.contains(key::item(key::HeadPosX, n))) {
            p.headlineBox = getBox(bag, key::HeadPosX, key::HeadPosY, key::HeadPosW, key::HeadPosH, n);
            p.headDynamicStyle = bag.getInt(key::item(key::HeadDynamicStyle, n));
            p.headStyle.size = bag.getInt(key::item(key::HeadSize, n));
            p.headStyle.pattern = bag.getInt(key::item(key::HeadPattern, n));
            p.headStyle.border = bag.getInt(key::item(key::HeadBorder, n));
            p.headStyle.style = bag.getInt(key::item(key::HeadStyle, n));
            p.headStyle.startColor = bag.getInt(key::item(key::HeadStartColor, n));
            p.headStyle.endColor = bag.getInt(key::item(key::HeadEndColor, n));
            p.headStyle.borderColor = bag.getInt(key::item(key::HeadBorderColor, n));
            if (p.headStyle.pattern == 2) p.headStyle.pattern = 0;
        } else {
            p.headlineBox = Project::defaultHeadlineBox(env);
            p.headDynamicStyle = env.selectedHeadlineEffect;
            p.headStyle = project.headlineStyleFromStyle2();
        }
        // A motion that cannot be read is no motion: the slide shows as it always did.
        if (const auto motion = motionFromKeyText(bag.getString(key::item(key::ImgMotion, n)))) p.motion = *motion;
        project.pictures.push_back(p);
    }
}

} // namespace

QStringList ReadProjectBag(Project &project, const PropertyBag &bag, BagMode mode, const ProjectEnvironment &env,
                           const SongLengthProbe &probe, const QString &baseDir)
{
    readProjectValues(project, bag, mode, env, probe, baseDir);
    return BoundProjectNumbers(project, env.screenWidth, env.screenHeight);
}

bool ReadLegacyProject(Project &project, const QString &path)
{
    Q_UNUSED(path);
    project.pictures.clear();
    return false;
}

// ---- key table ---------------------------------------------------------------

namespace {

struct KeyType
{
    const char *name;
    BagType type;
};

// Keys without an index.
constexpr KeyType kGlobalKeys[] = {
    {key::PlayPhotoInRamdomOrder, BagType::Bool}, {key::IgnoreMouseMove, BagType::Bool},
    {key::ShowCursor, BagType::Bool},             {key::EnableFloating, BagType::Bool},
    {key::MuteSound, BagType::Bool},              {key::EnableTransition, BagType::Bool},
    {key::EnableHeadlineEffect, BagType::Bool},   {key::EnableOpening, BagType::Bool},
    {key::EnableEnding, BagType::Bool},           {key::FilenameAsCaption, BagType::Bool},
    {key::IsPackage, BagType::Bool},              {key::EnableCaption, BagType::Bool},
    {key::EnableExport, BagType::Bool},           {key::IsExportAvi, BagType::Bool},
    {key::AppVersion, BagType::Str},              {key::LyricFolder, BagType::Str},
    {key::ImgDrawScale, BagType::I4},             {key::BackgroundDrawScale, BagType::I4},
    {key::BackgroundGradientMode, BagType::I4},   {key::ssDirectPlay, BagType::I4},
    {key::EnableLyric, BagType::Bool},            {key::TitleStyle, BagType::I4},
    {key::EnableSync, BagType::Bool},             {key::PlayMusicOrder, BagType::I4},
    {key::BackGroundSet, BagType::Str},           {key::ExportPassword, BagType::Str},
    {key::SolidColor, BagType::I4},               {key::BeginColor, BagType::I4},
    {key::EndColor, BagType::I4},                 {key::IsShowTip, BagType::Bool},
    {key::EnableOpenFolder, BagType::Bool},       {key::PictureFrameNum, BagType::I4},
    {key::FadeOutEnd, BagType::Bool},             {key::VideoFormat, BagType::I4},
    {key::PictureFrameImage, BagType::Str},       {key::LyricPosX, BagType::I4},
    {key::LyricPosY, BagType::I4},                {key::LyricPosW, BagType::I4},
    {key::LyricPosH, BagType::I4},                {key::TitlePosX, BagType::I4},
    {key::TitlePosY, BagType::I4},                {key::TitlePosW, BagType::I4},
    {key::TitlePosH, BagType::I4},                {key::LyricDynamicFontPattern, BagType::I4},
    {key::LyricDynamicFontStartColor, BagType::I4}, {key::LyricDynamicFontEndColor, BagType::I4},
    {key::LyricStyle, BagType::I4},               {key::TimeInterval, BagType::R4},
    {key::TransitionSpeed, BagType::I4},          {key::OpeningDurationTime, BagType::R4},
    {key::EndingDurationTime, BagType::R4},       {key::StyleSelect, BagType::Str},
    {key::BackGroundPicture, BagType::Str},       {key::OpeningImage, BagType::Str},
    {key::EndingImage, BagType::Str},             {key::LogoImage, BagType::Str},
    {key::NowI, BagType::I4},                     {key::NowM, BagType::I4},
    {key::LyricFilesCount, BagType::I4},          {key::AutoMotion, BagType::Bool},
};

enum class ListKind { Title, InfoText, TextStyle, Song, Lyric, Picture };

struct ListKeyType
{
    const char *prefix;
    BagType type;
    ListKind list;
};

constexpr ListKeyType kListKeys[] = {
    {key::TitleText, BagType::Str, ListKind::Title},
    {key::TxtSetting, BagType::Str, ListKind::InfoText},
    {key::FontStartColor, BagType::I4, ListKind::TextStyle},
    {key::FontEndColor, BagType::I4, ListKind::TextStyle},
    {key::BorderColor, BagType::I4, ListKind::TextStyle},
    {key::fFontName, BagType::Str, ListKind::TextStyle},
    {key::fFontSize, BagType::I4, ListKind::TextStyle},
    {key::fFontAlign, BagType::I4, ListKind::TextStyle},
    {key::fFontPattern, BagType::I4, ListKind::TextStyle},
    {key::fBorderWidth, BagType::I4, ListKind::TextStyle},
    {key::fFontStyle, BagType::I4, ListKind::TextStyle},
    {key::MusicNames, BagType::Str, ListKind::Song},
    {key::SongDuration, BagType::R4, ListKind::Song},
    {key::LyricFiles, BagType::Str, ListKind::Lyric},
    {key::ImgNames, BagType::Str, ListKind::Picture},
    {key::SlideDuration, BagType::R4, ListKind::Picture},
    {key::ImgPosX, BagType::I4, ListKind::Picture},
    {key::ImgPosY, BagType::I4, ListKind::Picture},
    {key::ImgCaption, BagType::Str, ListKind::Picture},
    {key::CapPosX, BagType::I4, ListKind::Picture},
    {key::CapPosY, BagType::I4, ListKind::Picture},
    {key::CapPosW, BagType::I4, ListKind::Picture},
    {key::CapPosH, BagType::I4, ListKind::Picture},
    {key::ImgHeadline, BagType::Str, ListKind::Picture},
    {key::HeadPosX, BagType::I4, ListKind::Picture},
    {key::HeadPosY, BagType::I4, ListKind::Picture},
    {key::HeadPosW, BagType::I4, ListKind::Picture},
    {key::HeadPosH, BagType::I4, ListKind::Picture},
    {key::HeadDynamicStyle, BagType::I4, ListKind::Picture},
    {key::HeadSize, BagType::I4, ListKind::Picture},
    {key::HeadPattern, BagType::I4, ListKind::Picture},
    {key::HeadBorder, BagType::I4, ListKind::Picture},
    {key::HeadStyle, BagType::I4, ListKind::Picture},
    {key::HeadStartColor, BagType::I4, ListKind::Picture},
    {key::HeadEndColor, BagType::I4, ListKind::Picture},
    {key::HeadBorderColor, BagType::I4, ListKind::Picture},
    {key::ImgMotion, BagType::Str, ListKind::Picture},
};

struct ParsedKey
{
    BagType type = BagType::Empty;
    const ListKeyType *list = nullptr;
    int index = 0;
};

std::optional<ParsedKey> parseKey(const QString &keyText)
{
    for (const KeyType &g : kGlobalKeys)
        if (keyText == QLatin1String(g.name)) return ParsedKey{g.type, nullptr, 0};
    static const QRegularExpression itemPattern(QStringLiteral("^(.*\\()(\\d{1,9})\\)$"));
    const auto m = itemPattern.match(keyText);
    if (!m.hasMatch()) return std::nullopt;
    const QString prefix = m.captured(1);
    for (const ListKeyType &l : kListKeys)
        if (prefix == QLatin1String(l.prefix)) return ParsedKey{l.type, &l, m.captured(2).toInt()};
    return std::nullopt;
}

} // namespace

std::optional<BagType> projectKeyType(const QString &keyText)
{
    const auto parsed = parseKey(keyText);
    if (!parsed) return std::nullopt;
    return parsed->type;
}

bool setProjectKey(Project &project, const QString &keyText, const QString &valueText, const ProjectEnvironment &env,
                   const WriteContext &context, QString *error)
{
    auto fail = [&](const QString &message) {
        if (error) *error = message;
        return false;
    };
    const auto parsed = parseKey(keyText);
    if (!parsed) return fail(QStringLiteral("unknown key: %1").arg(keyText));
    if (keyText == QLatin1String(key::NowI) || keyText == QLatin1String(key::NowM)
        || keyText == QLatin1String(key::LyricFilesCount) || keyText == QLatin1String(key::AppVersion))
        return fail(QStringLiteral("%1 follows from the project and cannot be set").arg(keyText));
    if (parsed->list) {
        int lower = 1, upper = 0;
        switch (parsed->list->list) {
        case ListKind::Title: upper = 2; break;
        case ListKind::InfoText: lower = 0; upper = kInfoTextCount - 1; break;
        case ListKind::TextStyle: upper = kTextStyleCount; break;
        case ListKind::Song: upper = int(project.songs.size()); break;
        case ListKind::Lyric: upper = int(project.lyricFiles.size()); break;
        case ListKind::Picture: upper = int(project.pictures.size()); break;
        }
        if (parsed->index < lower || parsed->index > upper)
            return fail(QStringLiteral("%1: index %2 is outside %3 .. %4").arg(keyText).arg(parsed->index).arg(lower).arg(upper));
    }
    if (project.pictures.empty()) return fail(QStringLiteral("the project has no pictures"));
    const auto value = BagValue::parse(parsed->type, valueText);
    if (!value)
        return fail(QStringLiteral("%1 takes a value of type %2, not \"%3\"")
                        .arg(keyText, bagTypeName(parsed->type), valueText));

    if (parsed->list && parsed->list->prefix == key::ImgMotion && !valueText.isEmpty() && !motionFromKeyText(valueText))
        return fail(QStringLiteral("%1 takes \"x,y,w,h;x,y,w,h;curve\" (fractions of the picture, curve 0 or 1) "
                                   "or an empty text for no motion, not \"%2\"")
                        .arg(keyText, valueText));

    // Through the writer and reader, so that a key set here behaves exactly
    // like one saved by the editor and opened again.
    PropertyBag bag;
    Project copy = project;
    WriteContext editContext = context;
    editContext.keepEmptyTextGroups = true;
    WriteProjectBag(copy, bag, BagMode::Full, editContext);
    bag.put(keyText, *value);
    Project result = copy;
    ReadProjectBag(result, bag, BagMode::Full, env, {});
    project = std::move(result);
    return true;
}

} // namespace pvsm
