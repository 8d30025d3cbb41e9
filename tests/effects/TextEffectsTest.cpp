// Frame counts, repeats and geometry of the sprite text effects (slide to
// gather), and the whole of a headline that wraps in the steps of every effect.
#include "EffectFixtures.h"
#include "TextEffect.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>

using namespace pvsm;
using namespace pvsm::test;

namespace {

// White text without border, so that on a black surface every pixel the text
// touches differs from the background, however faint its edge.
TextPathStyle whiteStyle(double sizePx)
{
    TextPathStyle s;
    s.fontName = QStringLiteral("Noto Sans CJK SC");
    s.sizePx = sizePx;
    s.fontStyle = kFontBold;
    s.alignment = 4;
    s.pattern = kPatternSolid;
    s.startArgb = s.endArgb = 0xFFFFFFFF;
    return s;
}

struct Recorded
{
    std::vector<RecordingFrameSink::Call> calls;
    std::vector<QImage> frames;
    int64_t framesWritten = 0;
};

Recorded record(int value, QSize size, const QRectF &rect, const QString &text, double sizePx, int v4 = 0,
                bool blackSurface = true)
{
    FixedSeed fixed(11);
    clsMemDC surface = blackSurface ? clsMemDC(size.width(), size.height(), 0) : patternCanvas(size, false);
    RecordingFrameSink sink(true);
    TextEffectContext ctx{sink, whiteStyle(sizePx)};
    RunTextEffect(ctx, value, surface, rect, text, 1.0, v4);
    return {sink.calls(), sink.kept(), sink.framesWritten()};
}

// Bounding box of the pixels that are not black.
QRect litBounds(const QImage &frame)
{
    const QImage img = frame.convertToFormat(QImage::Format_RGB32);
    int left = img.width(), right = -1, top = img.height(), bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0xFFFFFF) != 0) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

std::vector<int> repeats(const std::vector<RecordingFrameSink::Call> &calls)
{
    std::vector<int> r;
    for (const auto &c : calls)
        r.push_back(c.count);
    return r;
}

std::vector<int> ones(int n)
{
    return std::vector<int>(size_t(n), 1);
}

std::vector<int> operator+(std::vector<int> a, const std::vector<int> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(SpriteTextEffects, WriteTheirStepsWithTheFixedRepeats)
{
    struct Case
    {
        int value;
        const char *name;
        std::vector<int> repeats;
        int64_t frames;
    };
    const Case cases[] = {
        {3, "shake: held 4 x 2, 15 trembles, final", std::vector<int>(4, 2) + ones(15) + ones(1), 24},
        {4, "stretch: 11 + 10 steps, final", ones(11) + ones(10) + ones(1), 22},
        {5, "grow: 0.1 .. 1.2, 1.15 .. 0.90, 0.95 .. 1.05, final",
         ones(12) + std::vector<int>{1, 1, 2, 1, 2, 1} + std::vector<int>{2, 2, 2} + ones(1), 27},
        {6, "shrink: 3.0 .. 0.8, 0.9 .. 1.2, 1.1 .. 0.9, 0.95 and 1.05, final",
         ones(12) + std::vector<int>{1, 2, 1, 2} + std::vector<int>{2, 2, 2} + std::vector<int>{2, 2} + ones(1), 29},
        {7, "hop: 12 steps, hold 5 x 2, 12 steps, final", ones(12) + std::vector<int>(5, 2) + ones(12) + ones(1), 35},
        {8, "gather: 19 steps, final", ones(19) + ones(1), 20},
    };
    struct Place
    {
        QSize size;
        QRectF rect;
        double sizePx;
    };
    const Place places[] = {{{160, 120}, {20, 30, 120, 50}, 20}, {{1280, 720}, {200, 250, 880, 160}, 90}};
    for (const Place &p : places)
        for (const Case &c : cases) {
            const Recorded r = record(c.value, p.size, p.rect, QStringLiteral("文字 Text"), p.sizePx);
            EXPECT_EQ(repeats(r.calls), c.repeats) << c.name << " at " << p.size.width();
            EXPECT_EQ(r.framesWritten, c.frames) << c.name << " at " << p.size.width();
            EXPECT_EQ(std::accumulate(c.repeats.begin(), c.repeats.end(), int64_t(0)), c.frames) << c.name;
        }
}

TEST(SpriteTextEffects, SlideMovesSixPixelsPerStepBelow700WideElseTwelve)
{
    // shift: pixels the text moves between two written frames (step × d, d =
    // Int(distance / step / 21) + 1); frames: written steps plus the final one.
    struct Case
    {
        QSize size;
        QRect rect;
        int v4;
        int shift;
        int frames;
    };
    const Case cases[] = {
        {{160, 120}, {40, 40, 60, 30}, 0, 6, 18},       // -60 .. 36 by 6, d = 1
        {{699, 400}, {300, 150, 200, 60}, 2, -24, 18},  // 699 .. 303 by 6, d = 4
        {{700, 400}, {100, 150, 200, 60}, 1, 12, 19},   // -60 .. 144 by 12, d = 1
        {{1280, 720}, {500, 300, 200, 60}, 0, 36, 21},  // -200 .. 496 by 12, d = 3
        {{1280, 720}, {500, 300, 200, 60}, 3, -24, 19}, // 720 .. 300 by 12, d = 2
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width() << " wide, variant " << c.v4);
        const double sizePx = c.rect.height() * 0.6;
        const Recorded r = record(2, c.size, c.rect, QStringLiteral("滑入 Slide"), sizePx, c.v4);
        EXPECT_EQ(r.framesWritten, c.frames);
        // Compare the edge the surface cannot cut: the leading edge when the
        // text moves towards the far side, the trailing one otherwise.
        const bool vertical = c.v4 == 1 || c.v4 == 3;
        auto edge = [&](const QRect &b) {
            if (vertical) return c.shift > 0 ? b.bottom() : b.top();
            return c.shift > 0 ? b.right() : b.left();
        };
        int compared = 0;
        for (size_t i = 1; i + 1 < r.frames.size(); ++i) { // the last frame is the final text
            const QRect before = litBounds(r.frames[i - 1]), after = litBounds(r.frames[i]);
            if (before.isEmpty() || after.isEmpty()) continue; // still outside the surface
            EXPECT_EQ(edge(after) - edge(before), c.shift) << "frame " << i;
            ++compared;
        }
        EXPECT_GT(compared, 5);
        // The last step lands within one step of the place: no jump at the end.
        const QRect lastStep = litBounds(r.frames[r.frames.size() - 2]), final = litBounds(r.frames.back());
        EXPECT_LE(std::abs(edge(final) - edge(lastStep)), std::abs(c.shift));
    }
}

TEST(SpriteTextEffects, ShakeTremblesInWidthOnlyWithPeaksAt110And105)
{
    const Recorded r = record(3, {640, 360}, {100, 120, 440, 100}, QStringLiteral("颤抖 Shake"), 60);
    ASSERT_EQ(r.frames.size(), 20u);
    const QRect held = litBounds(r.frames[0]);
    ASSERT_FALSE(held.isEmpty());
    std::vector<int> widths;
    for (size_t i = 4; i < 19; ++i) {
        const QRect b = litBounds(r.frames[i]);
        EXPECT_EQ(b.top(), held.top()) << "frame " << i;
        EXPECT_EQ(b.bottom(), held.bottom()) << "frame " << i;
        widths.push_back(b.width());
    }
    // Odd steps see 1.01 1.03 1.05 1.07 1.09 | 1.09 1.07 1.05 1.03 1.01 | 1.01 1.03 1.05 1.03 1.01.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(r.calls[size_t(4 + i)].hash, r.calls[size_t(13 - i)].hash) << i;
    EXPECT_EQ(r.calls[4 + 10].hash, r.calls[4 + 14].hash);
    EXPECT_EQ(r.calls[4 + 11].hash, r.calls[4 + 13].hash);
    for (int i = 1; i < 5; ++i)
        EXPECT_GT(widths[size_t(i)], widths[size_t(i - 1)]) << i;
    EXPECT_GT(widths[12], widths[11]);
    EXPECT_GT(widths[11], widths[10]);
    EXPECT_GT(widths[4], widths[12]); // 1.09 is wider than 1.05
    EXPECT_GE(widths[0], held.width());
}

TEST(SpriteTextEffects, GatherCellSizeFollowsTheTextWidth)
{
    const std::pair<int, int> widthToCell[] = {{1, 2},     {200, 2},   {201, 4},   {400, 4},   {401, 6},
                                               {1000, 10}, {1200, 12}, {1400, 14}, {1401, 16}, {1500, 16}};
    for (const auto &[width, cell] : widthToCell)
        EXPECT_EQ(gatherCellSize(width), cell) << width;
}

TEST(SpriteTextEffects, GatherCutsRowsOfCellsAndStartsThemOnADoubledGrid)
{
    FixedSeed fixed(3);
    const QRect rect(50, 40, 1500, 100);
    const std::vector<GatherCell> cells = planGatherCells(rect);
    // c = 16; n = Nearest(100 / 16 × 1500 / 16) = Nearest(585.94); 94 cells a row.
    ASSERT_EQ(cells.size(), 586u);
    EXPECT_EQ(cells[93].source, QRect(1488, 0, 16, 16));
    EXPECT_EQ(cells[94].source, QRect(0, 16, 16, 16));
    EXPECT_EQ(cells[585].source, QRect(16 * (585 - 6 * 94), 96, 16, 16));
    // Grid from (Nearest(50 - 750), Nearest(40 - 50)) = (-700, -10), 2w × 2h.
    std::set<std::pair<int, int>> starts;
    for (const GatherCell &cell : cells) {
        EXPECT_EQ(cell.home, rect.topLeft() + cell.source.topLeft());
        const QPoint s = cell.start - QPoint(-700, -10);
        EXPECT_TRUE(s.x() % 16 == 0 && s.y() % 16 == 0 && s.x() >= 0 && s.y() >= 0 && s.x() < 3000 && s.y() < 200)
            << cell.start.x() << "," << cell.start.y();
        starts.insert({s.x(), s.y()});
    }
    EXPECT_EQ(starts.size(), cells.size()); // a permutation: no two cells share a start
    EXPECT_TRUE(planGatherCells(QRect(0, 0, 0, 50)).empty());
    EXPECT_TRUE(planGatherCells(QRect(0, 0, 50, -3)).empty());
}

TEST(SpriteTextEffects, GatherFliesCellsFromAroundTheTextToItsPlace)
{
    const QRect rect(50, 100, 1500, 100);
    const Recorded r = record(8, {1600, 300}, rect, QStringLiteral("文字聚集 Gathering cells 文字聚集"), 80);
    ASSERT_EQ(r.frames.size(), 20u);
    const QRect area(-700, 50, 3000 + 16, 200 + 16); // the start grid, cells included
    const QRect first = litBounds(r.frames[0]), last = litBounds(r.frames[18]);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(last.isEmpty());
    for (const QImage &frame : r.frames)
        EXPECT_TRUE(area.contains(litBounds(frame)));
    // Step 1 is 1/20 of the way from the scattered starts: beyond the text's box.
    EXPECT_FALSE(rect.contains(first));
    EXPECT_LT(first.top(), rect.top() - 20);
    // Step 19 is within 1/20 of the widest flight (w / 20) and a cell of home.
    EXPECT_TRUE(rect.adjusted(-75 - 16, -5 - 16, 75 + 16, 5 + 16).contains(last));
}

TEST(SpriteTextEffects, TextFarOutsideThePictureLeavesItUntouched)
{
    // Positions near the ends of the pixel range must not wrap round into view.
    const QRectF farOut[] = {{2147483000.0, 40, 300, 60}, {-2.0e9, -2.0e9, 300, 60}, {40, 2.1e9, 300, 60}};
    const QImage background = clsMemDC(320, 200, 0).image();
    for (const QRectF &rect : farOut)
        for (int value = 2; value <= 8; ++value)
            for (int v4 = 0; v4 < (value == 2 ? 4 : 1); ++v4) {
                const Recorded r = record(value, {320, 200}, rect, QStringLiteral("远处"), 40, v4);
                ASSERT_FALSE(r.frames.empty()) << value;
                for (const QImage &frame : r.frames)
                    EXPECT_TRUE(litBounds(frame).isEmpty())
                        << "effect " << value << " variant " << v4 << " at " << rect.x() << "," << rect.y();
            }
}

namespace {

// The longest run of rows without text between the first and the last row
// with text, as a share of that height: for a headline of two lines, the
// space between them. It stays what it is when the text is moved or scaled,
// and grows or vanishes when the top of the first line or the bottom of the
// second is cut off.
double lineGapShare(const QImage &frame, const QRect &lit)
{
    int gap = 0, run = 0;
    for (int y = lit.top(); y <= lit.bottom(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(frame.constScanLine(y));
        bool any = false;
        for (int x = lit.left(); x <= lit.right() && !any; ++x) any = (line[x] & 0xFFFFFF) != 0;
        run = any ? 0 : run + 1;
        gap = std::max(gap, run);
    }
    return double(gap) / lit.height();
}

int litPixels(const QImage &frame)
{
    int n = 0;
    for (int y = 0; y < frame.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(frame.constScanLine(y));
        for (int x = 0; x < frame.width(); ++x) n += (line[x] & 0xFFFFFF) != 0;
    }
    return n;
}

// `picture` moved by `offset`, black where nothing moved in.
QImage shifted(const QImage &picture, QPoint offset)
{
    QImage moved(picture.size(), QImage::Format_RGB32);
    moved.fill(Qt::black);
    QPainter(&moved).drawImage(offset, picture);
    return moved;
}

int maxDifference(const QImage &a, const QImage &b)
{
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return most;
}

} // namespace

TEST(TextEffects, AHeadlineThatWrapsKeepsAllItsGlyphsInEveryStep)
{
    // Six characters at 64 pixels wrap to two lines in a box of one line's
    // height: the text runs far over the box's top and bottom.
    const QSize size(320, 180);
    const QRectF rect(32, 63, 256, 54);
    const QString text = QStringLiteral("图片幻灯制作");
    clsMemDC still(size.width(), size.height(), 0);
    DrawTextPath(still.image(), text, rect, whiteStyle(64));
    const QImage headline = still.image().convertToFormat(QImage::Format_RGB32);
    const QRect whole = litBounds(headline);
    ASSERT_LT(whole.top(), rect.top() - 20);
    ASSERT_GT(whole.bottom(), rect.bottom() + 20);
    const double gap = lineGapShare(headline, whole);
    ASSERT_GT(gap, 0.1);
    const QRect inside(1, 1, size.width() - 2, size.height() - 2); // not cut by the surface's edges

    for (int value = 0; value <= 8; ++value)
        for (int v4 = 0; v4 < (value == 2 ? 4 : 1); ++v4) {
            SCOPED_TRACE(testing::Message() << "effect " << value << " variant " << v4);
            const Recorded r = record(value, size, rect, text, 64, v4);
            // The sprite effects end with the finished text; the steps before it are checked.
            const size_t steps = value <= 1 ? r.frames.size() : r.frames.size() - 1;
            int checked = 0;
            for (size_t i = 0; i < steps; ++i) {
                SCOPED_TRACE(testing::Message() << "frame " << i);
                const QImage &frame = r.frames[i];
                const QRect lit = litBounds(frame);
                switch (value) {
                case 0: // fades in where it will stand
                    if (lit.isEmpty()) break;
                    EXPECT_NEAR(lit.top(), whole.top(), 2);
                    EXPECT_NEAR(lit.bottom(), whole.bottom(), 2);
                    ++checked;
                    break;
                case 1: { // uncovered in whole columns of the headline
                    int wrong = 0;
                    for (int x = lit.left(); x <= lit.right(); ++x)
                        for (int y = 0; y < size.height(); ++y) wrong += frame.pixel(x, y) != headline.pixel(x, y);
                    EXPECT_EQ(wrong, 0);
                    ++checked;
                    break;
                }
                case 2: // moved unscaled: once all of it is on the surface, it is the headline moved
                    if (lit.size() != whole.size()) break;
                    EXPECT_LE(maxDifference(frame, shifted(headline, lit.topLeft() - whole.topLeft())), 1);
                    ++checked;
                    break;
                case 3: // trembles in width, its top and bottom rows stay
                    EXPECT_EQ(lit.top(), whole.top());
                    EXPECT_EQ(lit.bottom(), whole.bottom());
                    ++checked;
                    break;
                case 8: // cells fly in; one step before they land nearly all its pixels are there
                    if (i + 1 == steps) {
                        EXPECT_GT(litPixels(frame), 0.6 * litPixels(headline));
                    }
                    ++checked;
                    break;
                default: // scaled and moved, it keeps both whole lines
                    if (lit.height() < 50 || !inside.contains(lit)) break;
                    EXPECT_NEAR(lineGapShare(frame, lit), gap, 0.06);
                    ++checked;
                    break;
                }
            }
            EXPECT_GE(checked, value == 2 ? 1 : 3); // a slide is all on the surface only near its end
            // The hop's last step is the headline in its place.
            if (value == 7) {
                EXPECT_LE(maxDifference(r.frames[steps - 1], headline), 1);
            }
        }
}
