#include "ImageFixtures.h"
#include "ThumbnailCache.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace pvsm;
using namespace fixtures;

namespace {

const QSize kCell(96, 72);

// Waits for the workers, then asks again.
ThumbnailCache::Thumbnail settled(ThumbnailCache &cache, const QString &path, QSize cell = kCell)
{
    EXPECT_TRUE(cache.waitIdle(20000));
    return cache.get(path, cell);
}

} // namespace

TEST(ThumbnailCache, DecodesOnceUprightAtTheCellSize)
{
    QTemporaryDir dir;
    // Stored 400 x 200, turned a quarter by its EXIF orientation: 200 x 400 upright.
    const QString turned = writeFile(dir, QStringLiteral("turned.jpg"), withExifOrientation(encode(quadrants(400, 200), "jpeg", 95), 6));
    const QString wide = writeFile(dir, QStringLiteral("wide.png"), encode(quadrants(640, 480), "png"));
    ThumbnailCache cache({.threads = 2});
    std::atomic<int> heard = 0;
    cache.setListener([&](const QString &) { ++heard; });

    EXPECT_EQ(cache.get(turned, kCell).state, ThumbnailCache::State::Pending);
    cache.prefetch({wide, turned}, kCell);
    const auto upright = settled(cache, turned);
    ASSERT_EQ(upright.state, ThumbnailCache::State::Ready);
    EXPECT_EQ(upright.image.size(), QSize(36, 72));
    // Orientation 6 turns clockwise: the stored left half (red above, blue
    // below) comes to the top, red on the right.
    EXPECT_GT(qRed(upright.image.pixel(30, 8)), 200);
    EXPECT_LT(qGreen(upright.image.pixel(30, 8)), 60);
    const auto fitted = cache.get(wide, kCell);
    ASSERT_EQ(fitted.state, ThumbnailCache::State::Ready);
    EXPECT_EQ(fitted.image.size(), QSize(96, 72));
    EXPECT_EQ(cache.decodes(), 2);
    EXPECT_EQ(heard.load(), 2);

    // Asked again in any order (a move, an undo, a project opened again): no decode.
    for (int round = 0; round < 3; ++round) {
        cache.prefetch({turned, wide}, kCell);
        EXPECT_EQ(cache.get(wide, kCell).state, ThumbnailCache::State::Ready);
        EXPECT_EQ(cache.get(turned, kCell).state, ThumbnailCache::State::Ready);
    }
    EXPECT_TRUE(cache.waitIdle(5000));
    EXPECT_EQ(cache.decodes(), 2);

    // Another cell size is another thumbnail.
    cache.get(wide, QSize(48, 48));
    EXPECT_EQ(settled(cache, wide, QSize(48, 48)).image.size(), QSize(48, 36));
    EXPECT_EQ(cache.decodes(), 3);
}

TEST(ThumbnailCache, AChangedFileIsDecodedAgainAndBadOnesAreUnavailable)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("a.png"), encode(quadrants(100, 100), "png"));
    ThumbnailCache cache({.threads = 1});
    cache.get(path, kCell);
    EXPECT_EQ(settled(cache, path).image.size(), QSize(72, 72));

    // Rewritten wider (other size, later time): the old thumbnail is not shown.
    QThread::msleep(20);
    writeFile(dir, QStringLiteral("a.png"), encode(quadrants(200, 100), "png"));
    EXPECT_EQ(cache.get(path, kCell).state, ThumbnailCache::State::Pending);
    EXPECT_EQ(settled(cache, path).image.size(), QSize(96, 48));
    EXPECT_EQ(cache.decodes(), 2);

    // Gone from disk: unavailable at once, nothing queued.
    QFile::remove(path);
    EXPECT_EQ(cache.get(path, kCell).state, ThumbnailCache::State::Unavailable);
    EXPECT_EQ(cache.pending(), 0);

    // Not a picture, or cut short before its pixels: unavailable once tried.
    const QString text = writeFile(dir, QStringLiteral("text.jpg"), "just words");
    const QByteArray jpeg = encode(quadrants(64, 64), "jpeg", 90);
    const QString header = writeFile(dir, QStringLiteral("header.jpg"), jpeg.left(100));
    for (const QString &bad : {text, header}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_EQ(cache.get(bad, kCell).state, ThumbnailCache::State::Pending);
        EXPECT_EQ(settled(cache, bad).state, ThumbnailCache::State::Unavailable);
    }
    EXPECT_EQ(cache.decodes(), 4);
}

TEST(ThumbnailCache, TheLeastRecentlyShownGoBeyondTheBudget)
{
    QTemporaryDir dir;
    QStringList paths;
    for (int k = 0; k < 4; ++k) paths << writeFile(dir, QStringLiteral("%1.png").arg(k), encode(quadrants(96, 72), "png"));
    // Room for two thumbnails of 96 x 72 x 4 bytes.
    ThumbnailCache cache({.threads = 1, .budgetBytes = 2 * 96 * 72 * 4});
    cache.prefetch(paths.mid(0, 2), kCell);
    ASSERT_TRUE(cache.waitIdle(10000));
    EXPECT_EQ(cache.get(paths[0], kCell).state, ThumbnailCache::State::Ready); // 0 is now the newer
    cache.prefetch({paths[2]}, kCell);
    ASSERT_TRUE(cache.waitIdle(10000));
    EXPECT_EQ(cache.get(paths[0], kCell).state, ThumbnailCache::State::Ready);
    // Counted before asking for 1 again: that asking queues a decode, which a
    // busy machine may let the worker finish before the next line.
    EXPECT_EQ(cache.decodes(), 3);
    EXPECT_EQ(cache.get(paths[1], kCell).state, ThumbnailCache::State::Pending); // went, queued again
}
