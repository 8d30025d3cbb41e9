#include "FontLookup.h"

#include "FontNames.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>

namespace pvsm {

namespace {

// Fontconfig's configuration is built once per process and kept.
FcConfig *fontConfig()
{
    static FcConfig *config = [] {
        FcInit();
        return FcConfigGetCurrent();
    }();
    return config;
}

struct Candidate
{
    const InstalledFace *face;
    FontFaceNames names;
};

// How far a face is from the family's regular face; lower is better.
int distanceFromRegular(const InstalledFace &f) { return std::abs(f.weight - FC_WEIGHT_REGULAR) + (f.slant != 0 ? 1000 : 0); }

std::optional<size_t> bestOf(const std::vector<Candidate> &all, const std::function<bool(const FontFaceNames &)> &fits)
{
    std::optional<size_t> best;
    for (size_t i = 0; i < all.size(); ++i) {
        if (!fits(all[i].names)) continue;
        if (!best || distanceFromRegular(*all[i].face) < distanceFromRegular(*all[*best].face)) best = i;
    }
    return best;
}

// "Foo_GB2312" -> "Foo", "Foo-Bold" -> "Foo"; empty when no cut applies.
QString cutName(const QString &name)
{
    qsizetype cut = -1;
    for (qsizetype i = 1; i < name.size(); ++i)
        if (name[i] == QLatin1Char('_') || name[i] == QLatin1Char('-')) {
            cut = i;
            break;
        }
    return cut > 0 ? name.left(cut).trimmed() : QString();
}

QString familyMatching(const FontFaceNames &names, const QString &wanted)
{
    for (const QString &f : names.families)
        if (SameFontName(f, wanted)) return f;
    return {};
}

} // namespace

std::vector<InstalledFace> InstalledFaces()
{
    std::vector<InstalledFace> faces;
    FcPattern *pattern = FcPatternCreate();
    FcObjectSet *objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT, FC_FONTFORMAT, nullptr);
    FcFontSet *set = FcFontList(fontConfig(), pattern, objects);
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern *p = set->fonts[i];
            FcChar8 *file = nullptr, *format = nullptr;
            if (FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch) continue;
            // The name tables we read exist in these formats only.
            if (FcPatternGetString(p, FC_FONTFORMAT, 0, &format) == FcResultMatch) {
                const QByteArray f(reinterpret_cast<const char *>(format));
                if (f != "TrueType" && f != "CFF") continue;
            }
            InstalledFace face;
            face.file = QString::fromUtf8(reinterpret_cast<const char *>(file));
            int value = 0;
            if (FcPatternGetInteger(p, FC_INDEX, 0, &value) == FcResultMatch) face.index = value & 0xFFFF;
            if (FcPatternGetInteger(p, FC_WEIGHT, 0, &value) == FcResultMatch) face.weight = value;
            if (FcPatternGetInteger(p, FC_SLANT, 0, &value) == FcResultMatch) face.slant = value;
            faces.push_back(face);
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    std::sort(faces.begin(), faces.end(), [](const InstalledFace &a, const InstalledFace &b) {
        return a.file != b.file ? a.file < b.file : a.index < b.index;
    });
    faces.erase(std::unique(faces.begin(), faces.end(),
                            [](const InstalledFace &a, const InstalledFace &b) {
                                return a.file == b.file && a.index == b.index;
                            }),
                faces.end());
    return faces;
}

FontPacking LookupFonts(const std::array<QString, 4> &faceNames) { return LookupFonts(faceNames, InstalledFaces()); }

FontPacking LookupFonts(const std::array<QString, 4> &faceNames, const std::vector<InstalledFace> &faces)
{
    // Every face's names, read from its file once.
    std::vector<Candidate> all;
    all.reserve(faces.size());
    for (const InstalledFace &f : faces)
        if (std::optional<FontFaceNames> names = ReadFontNames(f.file, f.index)) all.push_back({&f, std::move(*names)});

    FontPacking packing;
    for (size_t j = 0; j < 4; ++j) {
        const QString wanted = faceNames[j].trimmed();
        packing.checkNames[j] = QString::fromLatin1(kFontMissingName);
        if (wanted.isEmpty()) continue;
        QString checkName;
        std::optional<size_t> found =
            bestOf(all, [&](const FontFaceNames &n) { return !familyMatching(n, wanted).isEmpty(); });
        if (found) checkName = familyMatching(all[*found].names, wanted);
        const QString cut = cutName(wanted);
        if (!found && !cut.isEmpty()) {
            found = bestOf(all, [&](const FontFaceNames &n) { return !familyMatching(n, cut).isEmpty(); });
            if (found) checkName = familyMatching(all[*found].names, cut);
        }
        if (!found) {
            // A face name rather than a family: "DejaVu Sans Bold", "DejaVuSans-Bold".
            found = bestOf(all, [&](const FontFaceNames &n) {
                return std::any_of(n.fullNames.begin(), n.fullNames.end(),
                                   [&](const QString &full) { return SameFontName(full, wanted); });
            });
            if (found) checkName = all[*found].names.family;
        }
        if (!found) continue;
        const QString &file = all[*found].face->file;
        qsizetype number = packing.files.indexOf(file);
        if (number < 0) {
            packing.files.append(file);
            number = packing.files.size() - 1;
        }
        packing.checkNames[j] = checkName;
        packing.belongsTo[j] = int(number) + 1;
    }
    return packing;
}

} // namespace pvsm
