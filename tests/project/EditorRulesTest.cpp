#include "EditorRules.h"

#include <gtest/gtest.h>

using namespace pvsm;

TEST(EditorRules, ViewKeepsTheEditingScreensAspect)
{
    struct Case
    {
        QSize area, screen, expected;
    } cases[] = {
        {{800, 600}, {1920, 1080}, {800, 450}},
        {{800, 400}, {1920, 1080}, {711, 400}},
        {{1000, 1000}, {1366, 768}, {1000, 562}},
        {{640, 480}, {1024, 768}, {640, 480}},
        {{0, 480}, {1920, 1080}, {}},
        {{640, 480}, {0, 0}, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fitToScreenAspect(c.area, c.screen), c.expected) << c.area.width();
}

TEST(EditorRules, MarkerScalesEachAxisByItsOwnFactorToTheNearestPixel)
{
    struct Case
    {
        TextBox box;
        QSize screen, view;
        QRect expected;
    } cases[] = {
        {{96, 810, 1728, 100}, {1920, 1080}, {960, 540}, {48, 405, 864, 50}},
        {{0, 0, 1920, 1080}, {1920, 1080}, {800, 450}, {0, 0, 800, 450}},
        // 5 * 0.5 = 2.5 and 7 * 0.5 = 3.5: halves to the even neighbour.
        {{5, 7, 5, 7}, {100, 100}, {50, 50}, {2, 4, 2, 4}},
        // Different factors per axis (a view that is not the screen's shape).
        {{100, 100, 200, 200}, {1000, 1000}, {500, 250}, {50, 25, 100, 50}},
        {{10, 10, 10, 10}, {0, 1080}, {500, 250}, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(markerOnView(c.box, c.screen, c.view), c.expected) << c.box.x;
}

TEST(EditorRules, LyricMarkerIsTwiceAsHighForTheTwoLineStyles)
{
    Settings s;
    s.lyricBox = {10, 20, 300, 40};
    const int expected[] = {40, 80, 40, 80};
    for (int style = 0; style < 4; ++style) {
        s.lyricStyle = style;
        const TextBox box = lyricMarkerBox(s);
        EXPECT_EQ(box.h, expected[style]) << style;
        EXPECT_EQ(box.x, 10);
        EXPECT_EQ(box.w, 300);
    }
}

TEST(EditorRules, RecentFilesPutTheLatestFirstWithoutDuplicatesAndKeepEight)
{
    QStringList list;
    for (int i = 0; i < 10; ++i)
        list = withRecentFile(list, QStringLiteral("/p/%1.aps").arg(i));
    ASSERT_EQ(list.size(), 8);
    EXPECT_EQ(list.first(), QStringLiteral("/p/9.aps"));
    EXPECT_EQ(list.last(), QStringLiteral("/p/2.aps"));
    // Reopening an entry (written another way) moves it to the front once.
    list = withRecentFile(list, QStringLiteral("/p/x/../5.aps"));
    EXPECT_EQ(list.size(), 8);
    EXPECT_EQ(list.first(), QStringLiteral("/p/5.aps"));
    EXPECT_EQ(list.count(QStringLiteral("/p/5.aps")), 1);
    EXPECT_EQ(list.last(), QStringLiteral("/p/2.aps"));
}

TEST(EditorRules, TitleAndAutoSaveTexts)
{
    EXPECT_EQ(editorWindowTitle({}, QStringLiteral("图片幻灯工作室4.60")),
              QStringLiteral("未命名[*] - 图片幻灯工作室4.60"));
    EXPECT_EQ(editorWindowTitle(QStringLiteral("/home/a/我的.相册.aps"), QStringLiteral("X")),
              QStringLiteral("我的.相册[*] - X"));
    EXPECT_EQ(autoSaveStatusText(true, QTime(9, 5, 7)), QStringLiteral("已自动保存 09:05:07"));
    EXPECT_EQ(autoSaveStatusText(false, QTime(23, 0, 0), QStringLiteral("磁盘已满")),
              QStringLiteral("自动保存失败 23:00:00：磁盘已满"));
}

TEST(EditorRules, ProjectNamesAndWindowPlacement)
{
    EXPECT_TRUE(isProjectFileName(QStringLiteral("/a/b.aps")));
    EXPECT_TRUE(isProjectFileName(QStringLiteral("/a/B.APS")));
    EXPECT_FALSE(isProjectFileName(QStringLiteral("/a/b.aps.txt")));
    EXPECT_FALSE(isProjectFileName(QStringLiteral(".aps")));
    const QRect screen(0, 0, 1366, 768);
    EXPECT_EQ(placeWindow(QRect(100, 50, 800, 600), screen), QPoint(100, 50));
    EXPECT_EQ(placeWindow(QRect(100, 50, 1366, 600), screen), QPoint(0, 50));
    EXPECT_EQ(placeWindow(QRect(100, 50, 800, 800), screen), QPoint(100, 0));
    EXPECT_EQ(placeWindow(QRect(30, 40, 1400, 900), QRect(1366, 0, 1366, 768)), QPoint(1366, 0));
}
