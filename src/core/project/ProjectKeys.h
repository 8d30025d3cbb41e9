#pragma once

#include <QString>

// Storage keys of the project. Each key's text is written here once; the
// writers, readers and the key table use these names.
namespace pvsm::key {

// Global settings
inline constexpr const char PlayPhotoInRamdomOrder[] = "PlayPhotoInRamdomOrder";
inline constexpr const char IgnoreMouseMove[] = "IgnoreMouseMove";
inline constexpr const char ShowCursor[] = "ShowCursor";
inline constexpr const char EnableFloating[] = "EnableFloating";
inline constexpr const char MuteSound[] = "MuteSound";
inline constexpr const char EnableTransition[] = "EnableTransition";
inline constexpr const char EnableHeadlineEffect[] = "EnableHeadlineEffect";
inline constexpr const char EnableOpening[] = "EnableOpening";
inline constexpr const char EnableEnding[] = "EnableEnding";
inline constexpr const char FilenameAsCaption[] = "FilenameAsCaption";
inline constexpr const char IsPackage[] = "IsPackage";
inline constexpr const char EnableCaption[] = "EnableCaption";
inline constexpr const char EnableExport[] = "EnableExport";
inline constexpr const char IsExportAvi[] = "IsExportAvi";
inline constexpr const char AppVersion[] = "AppVersion";
inline constexpr const char LyricFolder[] = "LyricFolder";
inline constexpr const char ImgDrawScale[] = "ImgDrawScale";
inline constexpr const char BackgroundDrawScale[] = "BackgroundDrawScale";
inline constexpr const char BackgroundGradientMode[] = "BackgroundGradientMode";
inline constexpr const char ssDirectPlay[] = "ssDirectPlay";
inline constexpr const char EnableLyric[] = "EnableLyric";
inline constexpr const char TitleStyle[] = "TitleStyle";
inline constexpr const char EnableSync[] = "EnableSync";
inline constexpr const char PlayMusicOrder[] = "PlayMusicOrder";
inline constexpr const char BackGroundSet[] = "BackGroundSet";
inline constexpr const char ExportPassword[] = "ExportPassword";
inline constexpr const char SolidColor[] = "SolidColor";
inline constexpr const char BeginColor[] = "BeginColor";
inline constexpr const char EndColor[] = "EndColor";
inline constexpr const char IsShowTip[] = "IsShowTip";
inline constexpr const char EnableOpenFolder[] = "EnableOpenFolder";
// Project files only: music cut at the video's end fades out, the picture
// fades to black (absent: off, so older projects export as they did).
inline constexpr const char FadeOutEnd[] = "FadeOutEnd";
// Project files and Pvsm.ini: the video file kind chosen last (0 AVI, 1 MP4).
inline constexpr const char VideoFormat[] = "VideoFormat";
inline constexpr const char PictureFrameNum[] = "PictureFrameNum";
inline constexpr const char PictureFrameImage[] = "PictureFrameImage";
inline constexpr const char LyricPosX[] = "LyricPosX";
inline constexpr const char LyricPosY[] = "LyricPosY";
inline constexpr const char LyricPosW[] = "LyricPosW";
inline constexpr const char LyricPosH[] = "LyricPosH";
inline constexpr const char TitlePosX[] = "TitlePosX";
inline constexpr const char TitlePosY[] = "TitlePosY";
inline constexpr const char TitlePosW[] = "TitlePosW";
inline constexpr const char TitlePosH[] = "TitlePosH";
inline constexpr const char LyricDynamicFontPattern[] = "LyricDynamicFontPattern";
inline constexpr const char LyricDynamicFontStartColor[] = "LyricDynamicFontStartColor";
inline constexpr const char LyricDynamicFontEndColor[] = "LyricDynamicFontEndColor";
inline constexpr const char LyricStyle[] = "LyricStyle";
inline constexpr const char TimeInterval[] = "TimeInterval";
inline constexpr const char TransitionSpeed[] = "TransitionSpeed";
inline constexpr const char OpeningDurationTime[] = "OpeningDurationTime";
inline constexpr const char EndingDurationTime[] = "EndingDurationTime";
inline constexpr const char StyleSelect[] = "StyleSelect";
inline constexpr const char BackGroundPicture[] = "BackGroundPicture";
inline constexpr const char OpeningImage[] = "OpeningImage";
inline constexpr const char EndingImage[] = "EndingImage";
inline constexpr const char LogoImage[] = "LogoImage";
inline constexpr const char AutoMotion[] = "AutoMotion";

// Counts and record-only keys
inline constexpr const char NowI[] = "NowI";
inline constexpr const char NowM[] = "NowM";
inline constexpr const char LyricFilesCount[] = "LyricFilesCount";
inline constexpr const char OrigScreenWidth[] = "OrigScreenWidth";
inline constexpr const char OrigScreenHeight[] = "OrigScreenHeight";
inline constexpr const char ToInstallFontCount[] = "ToInstallFontCount";
inline constexpr const char SongDurationTotal[] = "SongDurationTotal";
inline constexpr const char ResFileSize[] = "ResFileSize";
inline constexpr const char TextureImage[] = "TextureImage";
inline constexpr const char PictureFrameData[] = "PictureFrameData";

// Suffixes of the resource index of a slideshow: key + suffix
inline constexpr const char OffSetSuffix[] = "_OffSet";
inline constexpr const char SizeSuffix[] = "_Size";
inline constexpr const char TypeSuffix[] = "_Type";

// List prefixes: prefix + decimal index + ")"
inline constexpr const char TitleText[] = "TitleText(";
inline constexpr const char TxtSetting[] = "TxtSetting(";
inline constexpr const char fFontName[] = "fFontName(";
inline constexpr const char fFontSize[] = "fFontSize(";
inline constexpr const char fFontAlign[] = "fFontAlign(";
inline constexpr const char fFontPattern[] = "fFontPattern(";
inline constexpr const char fBorderWidth[] = "fBorderWidth(";
inline constexpr const char fFontStyle[] = "fFontStyle(";
inline constexpr const char FontStartColor[] = "FontStartColor(";
inline constexpr const char FontEndColor[] = "FontEndColor(";
inline constexpr const char BorderColor[] = "BorderColor(";
inline constexpr const char MusicNames[] = "MusicNames(";
inline constexpr const char SongDuration[] = "SongDuration(";
inline constexpr const char LyricFiles[] = "LyricFiles(";
inline constexpr const char ImgNames[] = "ImgNames(";
inline constexpr const char SlideDuration[] = "SlideDuration(";
inline constexpr const char ImgPosX[] = "ImgPosX(";
inline constexpr const char ImgPosY[] = "ImgPosY(";
inline constexpr const char ImgCaption[] = "ImgCaption(";
inline constexpr const char CapPosX[] = "CapPosX(";
inline constexpr const char CapPosY[] = "CapPosY(";
inline constexpr const char CapPosW[] = "CapPosW(";
inline constexpr const char CapPosH[] = "CapPosH(";
inline constexpr const char ImgHeadline[] = "ImgHeadline(";
inline constexpr const char HeadPosX[] = "HeadPosX(";
inline constexpr const char HeadPosY[] = "HeadPosY(";
inline constexpr const char HeadPosW[] = "HeadPosW(";
inline constexpr const char HeadPosH[] = "HeadPosH(";
inline constexpr const char HeadDynamicStyle[] = "HeadDynamicStyle(";
inline constexpr const char HeadSize[] = "HeadSize(";
inline constexpr const char HeadPattern[] = "HeadPattern(";
inline constexpr const char HeadBorder[] = "HeadBorder(";
inline constexpr const char HeadStyle[] = "HeadStyle(";
inline constexpr const char HeadStartColor[] = "HeadStartColor(";
inline constexpr const char HeadEndColor[] = "HeadEndColor(";
inline constexpr const char HeadBorderColor[] = "HeadBorderColor(";
inline constexpr const char ToInstallFont[] = "ToInstallFont(";
inline constexpr const char fFontNameForCheck[] = "fFontNameForCheck(";
inline constexpr const char FontBelongsTo[] = "FontBelongsTo(";
inline constexpr const char MusicLyricFiles[] = "MusicLyricFiles(";
inline constexpr const char ImgMotion[] = "ImgMotion(";

// prefix + index + ")"
inline QString item(const char *prefix, int index)
{
    return QString::fromLatin1(prefix) + QString::number(index) + QLatin1Char(')');
}

} // namespace pvsm::key
