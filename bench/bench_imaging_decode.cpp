// A 4000 x 3000 photo drawn in mode 3 (fit) into a 1280 x 720 frame: decoding
// the whole photo and shrinking it, against letting the JPEG decoder shrink
// while it decodes (LoadPictureForTarget). Prints the median of several runs
// of each, their ratio, and how far apart the two frames are.
#include "BenchPhoto.h"
#include "PictureDraw.h"
#include "PictureLoad.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kRuns = 7;
const QSize kPhoto(4000, 3000);
const QSize kFrame(1280, 720);

double medianMs(const std::function<QImage()> &run, QImage *last)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        *last = run();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double psnr(const QImage &a, const QImage &b)
{
    double se = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) se += double(d) * d;
        }
    const double mse = se / (3.0 * a.width() * a.height());
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    {
        QImageWriter writer(path, "jpeg");
        writer.setQuality(90);
        if (!writer.write(pvsm::bench::photoLike(kPhoto))) {
            std::fprintf(stderr, "cannot write the test photo\n");
            return 1;
        }
    }
    const qint64 jpegBytes = QFileInfo(path).size();

    QImage fullFrame, scaledFrame, decodedFull, decodedScaled;
    auto frame = [] {
        QImage f(kFrame, QImage::Format_RGB32);
        f.fill(Qt::black);
        return f;
    };
    const double fullMs = medianMs(
        [&] {
            decodedFull = pvsm::LoadPicture(path);
            QImage f = frame();
            pvsm::DrawPicture(f, decodedFull, pvsm::kDrawFit);
            return f;
        },
        &fullFrame);
    const double scaledMs = medianMs(
        [&] {
            decodedScaled = pvsm::LoadPictureForTarget(path, pvsm::kDrawFit, kFrame);
            QImage f = frame();
            pvsm::DrawPicture(f, decodedScaled, pvsm::kDrawFit);
            return f;
        },
        &scaledFrame);

    std::printf("Photo %dx%d JPEG (quality 90, %.1f MB) drawn in mode 3 into %dx%d; median of %d runs\n\n",
                kPhoto.width(), kPhoto.height(), jpegBytes / 1048576.0, kFrame.width(), kFrame.height(), kRuns);
    std::printf("| Path | Decoded picture | Median ms |\n|---|---|---|\n");
    std::printf("| full decode, then scale (reference) | %dx%d | %.1f |\n", decodedFull.width(), decodedFull.height(), fullMs);
    std::printf("| scaled decode (LoadPictureForTarget) | %dx%d | %.1f |\n", decodedScaled.width(), decodedScaled.height(),
                scaledMs);
    std::printf("\nSpeed-up: %.2fx; decoded pixels: %.1f%% of the full decode; frames differ by PSNR %.1f dB\n",
                fullMs / scaledMs, 100.0 * decodedScaled.width() * decodedScaled.height() / (double(decodedFull.width()) * decodedFull.height()),
                psnr(fullFrame, scaledFrame));
    return 0;
}
