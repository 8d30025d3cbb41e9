// The frame sizes after the first 18, and the layout of portrait and square
// frames made from a show placed on a landscape screen.
#include "FrameLoop.h"
#include "PictureDraw.h"
#include "Soundtrack.h"
#include "TextPath.h"
#include "VideoExport.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace pvsm;

namespace {

const QSize kScreen(1920, 1080);

QSize sizeAt(int index)
{
    const FrameSizeEntry &e = frameSizeList()[size_t(index)];
    return {e.width, e.height};
}

bool inside(const QRectF &r, QSize frame)
{
    return r.left() >= -1e-9 && r.top() >= -1e-9 && r.right() <= frame.width() + 1e-9
           && r.bottom() <= frame.height() + 1e-9;
}

class SizesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.screenWidth = kScreen.width();
        env.screenHeight = kScreen.height();
        env.lyricSampleLineHeight = 40;
        project = Project::makeDefault(env);
        project.settings.enableCaption = true;
    }

    QString picture(QSize size, QColor colour)
    {
        QImage img(size, QImage::Format_RGB32);
        img.fill(colour);
        const QString path = dir.filePath(QStringLiteral("p%1.png").arg(++m_pictures));
        img.save(path);
        return path;
    }

    FrameLoopSettings settingsFor(QSize video) const
    {
        FrameLoopSettings s;
        s.videoSize = video;
        s.editingScreen = kScreen;
        return s;
    }

    QTemporaryDir dir;
    ProjectEnvironment env;
    Project project;
    NullTimelineSink sink;
    JobControl control;
    int m_pictures = 0;
};

} // namespace

TEST(FrameSizes, TheFirstEighteenKeepTheirPlacesAndTheNewOnesFollow)
{
    struct Case
    {
        int index, width, height;
    };
    for (const Case c : {Case{0, 848, 480}, Case{3, 1280, 720}, Case{8, 1280, 960}, Case{17, 1792, 768},
                         Case{18, 2560, 1440}, Case{19, 3840, 2160}, Case{20, 1080, 1920}, Case{21, 720, 1280},
                         Case{22, 1080, 1080}}) {
        EXPECT_EQ(sizeAt(c.index), QSize(c.width, c.height)) << c.index;
        EXPECT_EQ(parseFrameSizeText(QString::fromLatin1(frameSizeList()[size_t(c.index)].text)),
                  QSize(c.width, c.height));
    }
}

// Boxes near every edge of the landscape screen, one reaching past it.
TEST_F(SizesTest, PortraitAndSquareBoxesKeepTheirShapeAndStayInsideTheFrame)
{
    const std::vector<TextBox> boxes = {{0, 980, 1920, 100}, {1500, 0, 420, 120}, {200, 400, 1520, 280},
                                        {1800, 1000, 400, 200}, {0, 0, 300, 60}};
    for (const int index : {20, 21, 22}) {
        const QSize frame = sizeAt(index);
        SCOPED_TRACE(testing::Message() << frame.width() << "x" << frame.height());
        const OutputScales s = outputScales(frame, kScreen);
        ASSERT_TRUE(s.fitFrame);
        for (const TextBox &b : boxes) {
            const QRectF r = outputBox(s, b.x, b.y, b.w, b.h);
            EXPECT_TRUE(inside(r, frame)) << b.x << "," << b.y;
            // Scaled alike on both axes: the text fits its box as on the screen.
            EXPECT_NEAR(r.width() / r.height(), double(b.w) / b.h, 1e-9);
            EXPECT_NEAR(r.width(), b.w * s.font, 1e-9);
        }
        // Top stays above bottom: the headline over the title over the caption.
        const QRectF top = outputBox(s, 1500, 0, 420, 120), middle = outputBox(s, 200, 400, 1520, 280),
                     bottom = outputBox(s, 0, 980, 1920, 100);
        EXPECT_LT(top.bottom(), middle.top());
        EXPECT_LT(middle.bottom(), bottom.top());
        // A box centred on the screen is centred on the frame.
        EXPECT_NEAR(middle.center().y(), frame.height() / 2.0, 1.0);
        EXPECT_NEAR(middle.center().x(), frame.width() / 2.0, 1.0);
    }
    // The landscape sizes keep the per-axis rectangles, the new ones too; so
    // does a portrait video of a portrait screen, and the editing view of one.
    struct Shape
    {
        QSize video, screen;
    };
    std::vector<Shape> perAxis;
    for (const int index : {3, 8, 17, 18, 19}) perAxis.push_back({sizeAt(index), kScreen});
    perAxis.push_back({sizeAt(21), {1080, 1920}});
    perAxis.push_back({{405, 719}, {1080, 1920}});
    for (const Shape &c : perAxis) {
        const OutputScales s = outputScales(c.video, c.screen);
        EXPECT_FALSE(s.fitFrame) << c.video.width() << "x" << c.video.height();
        EXPECT_EQ(outputBox(s, 1800, 1000, 400, 200), QRectF(1800 * s.x, 1000 * s.y, 400 * s.x, 200 * s.y));
    }
    // A square video of a portrait screen is laid out for the frame too.
    EXPECT_TRUE(outputScales(sizeAt(22), {1080, 1920}).fitFrame);
}

TEST_F(SizesTest, TheFrameLoopsTextRectanglesAreLaidOutForThePortraitFrame)
{
    project.settings.titleBox = {0, 880, 1920, 200};
    project.pictures.push_back(project.newPicture(picture({160, 90}, Qt::red), env));
    project.pictures[0].captionBox = {1600, 1000, 600, 120}; // reaches past the screen's corner
    project.pictures[0].headlineBox = {0, 0, 1920, 160};
    const QSize frame = sizeAt(20);
    const FrameLoop loop(project, settingsFor(frame), sink, nullptr, control);
    EXPECT_TRUE(loop.fitsFrame());
    // The effect boxes reach a pixel past their box on every side.
    for (const QRectF &r : {loop.titleRect().adjusted(1, 1, -1, -1), loop.headlineRect(1).adjusted(1, 1, -1, -1),
                            loop.captionRect(1)})
        EXPECT_TRUE(inside(r, frame)) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    EXPECT_NEAR(loop.captionRect(1).width(), 600 * loop.FontScale(), 1e-9);
    EXPECT_NEAR(loop.captionRect(1).right(), frame.width(), 1e-9);
}

TEST_F(SizesTest, LyricRowsStayInsideThePortraitFrameOneUnderTheOther)
{
    Settings &s = project.settings;
    s.lyricBox = {100, 1010, 1700, 60}; // the second row would run off the screen
    for (const int style : {0, 1, 2, 3}) {
        s.lyricStyle = style;
        for (const int index : {20, 21, 22}) {
            const QSize frame = sizeAt(index);
            const LyricRows rows = lyricRows(s, frame, kScreen);
            const double scale = outputScales(frame, kScreen).font;
            EXPECT_TRUE(inside(rows.first, frame)) << style << " " << index;
            EXPECT_NEAR(rows.first.width(), 1700 * scale, 1e-9);
            EXPECT_NEAR(rows.first.height(), 60 * scale, 1e-9);
            EXPECT_EQ(rows.second, rows.first.translated(0, rows.first.height()));
            if (style == 1 || style == 3) {
                EXPECT_TRUE(inside(rows.second, frame)) << style << " " << index;
            }
        }
    }
}

// Every draw mode on a portrait frame: nothing stretched, nothing cut off.
TEST_F(SizesTest, PicturesAreNeverStretchedOrCutOffOnPortraitFrames)
{
    struct Case
    {
        int mode;
        QSize picture;
        QPoint stored; // the position of draw mode 1 on the screen
    };
    const std::vector<Case> cases = {
        {kDrawStretch, {1600, 900}, {}}, {kDrawFit, {1600, 900}, {}},       {kDrawCentred, {3000, 2000}, {}},
        {kDrawAtPosition, {2400, 1600}, {100, 100}}, // larger than the frame: fitted
        {kDrawAtPosition, {400, 300}, {1500, 780}},  // at the screen's bottom-right corner
        {kDrawAtPosition, {400, 300}, {}},           // at a random place
    };
    for (const Case &c : cases) {
        project.pictures.clear();
        project.settings.imgDrawScale = c.mode;
        Picture pic = project.newPicture(picture(c.picture, Qt::green), env);
        pic.posX = c.stored.x();
        pic.posY = c.stored.y();
        project.pictures.push_back(pic);
        for (const int index : {20, 22}) {
            const QSize frame = sizeAt(index);
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << " picture " << c.picture.width() << "x"
                                            << c.picture.height() << " frame " << frame.width() << "x" << frame.height());
            const FrameLoop loop(project, settingsFor(frame), sink, nullptr, control);
            QRect drawn;
            const QImage slide = loop.ComposeSlide(1, &drawn);
            ASSERT_FALSE(drawn.isEmpty());
            EXPECT_TRUE(QRect(QPoint(0, 0), frame).contains(drawn));
            EXPECT_NEAR(double(drawn.width()) / drawn.height(), double(c.picture.width()) / c.picture.height(), 0.01);
            // What was drawn is the picture's colour, edge to edge.
            EXPECT_EQ(slide.pixel(drawn.topLeft()), qRgb(0, 255, 0));
            EXPECT_EQ(slide.pixel(drawn.bottomRight()), qRgb(0, 255, 0));
        }
    }
    // Near the bottom-right corner of the screen, near the bottom-right of the frame.
    project.settings.imgDrawScale = kDrawAtPosition;
    project.pictures[0].posX = 1500;
    project.pictures[0].posY = 780;
    const FrameLoop loop(project, settingsFor(sizeAt(20)), sink, nullptr, control);
    QRect drawn;
    loop.ComposeSlide(1, &drawn);
    EXPECT_EQ(drawn.right(), 1079);
    EXPECT_GT(drawn.top(), 1920 * 0.6);
}

TEST_F(SizesTest, ACaptionAtTheScreensEdgeIsDrawnWholeOnAPortraitFrame)
{
    project.settings.solidColor = 0x000000;
    project.settings.backGroundSet = QStringLiteral("1");
    TextStyle &caption = project.settings.textStyles[0];
    caption.size = 80;
    caption.borderWidth = 0;
    caption.startColor = caption.endColor = 0xFFFFFF;
    caption.pattern = kPatternSolid;
    caption.align = 8; // bottom right
    project.pictures.push_back(project.newPicture(QString(), env));
    project.pictures[0].caption = QStringLiteral("右下角的字幕");
    project.pictures[0].captionBox = {1320, 960, 600, 120};
    const QSize frame = sizeAt(21);
    const FrameLoop loop(project, settingsFor(frame), sink, nullptr, control);
    const QImage slide = loop.ComposeSlide(1);
    auto textPixels = [](const QImage &image, QRect *bounds) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) > 128) {
                    ++n;
                    *bounds |= QRect(x, y, 1, 1);
                }
        return n;
    };
    QRect text;
    const int drawn = textPixels(slide, &text);
    ASSERT_GT(drawn, 0);
    // The same caption drawn with room all round: every pixel of it is on the frame.
    QImage roomy(frame + QSize(400, 400), QImage::Format_RGB32);
    roomy.fill(Qt::black);
    TextPathStyle style;
    style.fontName = caption.fontName;
    style.sizePx = int(std::lround(caption.size * loop.FontScale()));
    style.fontStyle = caption.style;
    style.alignment = caption.align;
    style.pattern = caption.pattern;
    style.startArgb = style.endArgb = 0xFFFFFFFF;
    DrawTextPath(roomy, project.pictures[0].caption, loop.captionRect(1).translated(200, 200), style);
    QRect whole;
    EXPECT_EQ(textPixels(roomy, &whole), drawn);
    EXPECT_EQ(whole.translated(-200, -200), text);
    EXPECT_GT(text.top(), frame.height() / 2);
    // At the font scale the whole line fits on one row (no wrap): it is wider than tall.
    EXPECT_GT(text.width(), 3 * text.height());
}

namespace {

// A frame picture: red bands 10% high at the top and bottom of a transparent
// middle, as PNG bytes.
QByteArray borderPng()
{
    QImage border(320, 180, QImage::Format_ARGB32);
    border.fill(Qt::transparent);
    {
        QPainter p(&border);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        p.drawRect(0, 0, 320, 18);
        p.drawRect(0, 162, 320, 18);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    border.save(&buffer, "PNG");
    return png;
}

} // namespace

// With a picture frame the screen's whole layout goes into the band the
// fitted frame lies over (1080 x 608 from y = 656 on 1080 x 1920): the frame
// frames the picture and the texts as it did on the screen.
TEST_F(SizesTest, WithAPictureFrameTheScreensLayoutFillsTheBandItFrames)
{
    const QSize frame = sizeAt(20);
    const QRectF band(0, 656, 1080, 608);
    const double k = 1080.0 / 1920;
    const OutputScales scales = outputScales(frame, kScreen, true);
    EXPECT_EQ(scales.band, band);
    EXPECT_TRUE(outputScales(frame, kScreen, false).band.isEmpty());
    EXPECT_TRUE(outputScales(sizeAt(3), kScreen, true).band.isEmpty()); // landscape: the frame is stretched as ever

    project.settings.imgDrawScale = kDrawFit;
    project.pictures.push_back(project.newPicture(picture({400, 300}, Qt::green), env)); // 4:3, taller than the band
    project.pictures[0].captionBox = {100, 900, 800, 100};
    project.pictures[0].headlineBox = {1800, 0, 400, 100}; // reaches past the screen
    FrameLoopSettings s = settingsFor(frame);
    s.pictureFrame = borderPng();
    const FrameLoop loop(project, s, sink, nullptr, control);
    EXPECT_EQ(loop.captionRect(1), QRectF(100 * k, 656 + 900 * k, 800 * k, 100 * k));
    EXPECT_TRUE(band.contains(loop.headlineRect(1).adjusted(1, 1, -1, -1)));
    QRect drawn;
    loop.ComposeSlide(1, &drawn);
    EXPECT_TRUE(band.toRect().contains(drawn)) << drawn.y() << " " << drawn.height();
    EXPECT_EQ(drawn.height(), 608);

    project.settings.lyricBox = {0, 1000, 1920, 60};
    project.settings.lyricStyle = 3;
    const LyricRows rows = lyricRows(project.settings, frame, kScreen, true);
    EXPECT_TRUE(band.contains(rows.first));
    EXPECT_TRUE(band.contains(rows.second));
}

TEST_F(SizesTest, ThePictureFrameKeepsItsShapeOnAPortraitFrame)
{
    FrameLoopSettings s = settingsFor(sizeAt(20));
    s.pictureFrame = borderPng();
    const FrameLoop loop(project, s, sink, nullptr, control);
    ASSERT_TRUE(loop.hasPictureFrame());
    QImage target(sizeAt(20), QImage::Format_RGB32);
    target.fill(Qt::black);
    loop.DrawPictureFrame(target);
    // Fitted to the width in the middle of the frame: 1080 x 608 from y = 656.
    EXPECT_EQ(target.pixel(540, 5), qRgb(0, 0, 0));
    EXPECT_EQ(qRed(target.pixel(540, 656 + 20)), 255);
    EXPECT_EQ(target.pixel(540, 960), qRgb(0, 0, 0));
    EXPECT_EQ(qRed(target.pixel(540, 656 + 608 - 20)), 255);
    EXPECT_EQ(target.pixel(540, 1915), qRgb(0, 0, 0));
}
