#pragma once
// A photo for the benchmarks, drawn rather than loaded.
#include <QImage>
#include <QSize>

#include <algorithm>
#include <cmath>
#include <random>

namespace pvsm::bench {

// Smooth light and colour, hard edges of a few shapes, fine texture and
// sensor grain: a JPEG of it is about as costly to decode as a real photo.
inline QImage photoLike(QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    std::mt19937 rng(2024);
    std::normal_distribution<double> grain(0.0, 6.0);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const double u = double(x) / img.width(), v = double(y) / img.height();
            double r = 120 + 90 * std::sin(6.0 * u + 1.3) * std::cos(4.0 * v);
            double g = 110 + 70 * std::sin(9.0 * v + 2.0 * u);
            double b = 140 + 80 * std::cos(5.0 * (u + v));
            const double dx = x - 2600.0, dy = y - 1200.0;
            if (dx * dx + dy * dy < 700.0 * 700.0) { r = r * 0.5 + 110; g *= 0.6; b = b * 0.4 + 20; }
            if (x > 400 && x < 1500 && y > 1700 && y < 2800) { r *= 0.3; g = g * 0.5 + 90; b *= 0.7; }
            const double texture = 18 * std::sin(x * 0.21) * std::sin(y * 0.17);
            auto px = [&](double c) { return std::clamp(int(c + texture + grain(rng)), 0, 255); };
            line[x] = qRgb(px(r), px(g), px(b));
        }
    }
    return img;
}

} // namespace pvsm::bench
