#pragma once
// A song for the benchmarks: a chord that moves, with a little noise (so an
// encoder has something to work on), as 192 kbit/s CBR MP3 at 44.1 kHz stereo.
#include "LameApi.h"

#include <QFile>
#include <QString>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace pvsm::bench {

inline bool makeSong(const QString &path, int seconds)
{
    constexpr int kRate = 44100;
    LameApi lame;
    BeConfig config;
    config.dwSampleRate = kRate;
    config.nPreset = kLamePresetCbr;
    config.dwBitrate = 192;
    config.bNoRes = 0;
    uint32_t samples = 0, bufferSize = 0, stream = 0;
    if (lame.beInitStream(config, samples, bufferSize, stream) != BE_ERR_SUCCESSFUL) return false;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    std::vector<int16_t> pcm(samples);
    std::vector<uint8_t> out(bufferSize);
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0, 600);
    int64_t frame = 0;
    const int64_t total = int64_t(seconds) * kRate;
    while (frame < total) {
        for (size_t i = 0; i < pcm.size(); i += 2, ++frame) {
            const double t = double(frame) / kRate;
            const double base = 220 * std::pow(2.0, std::floor(t / 2) / 12.0 * 3);
            const double l = 5000 * std::sin(2 * M_PI * base * t) + 3000 * std::sin(2 * M_PI * base * 1.5 * t);
            const double r = 5000 * std::sin(2 * M_PI * base * 1.25 * t) + 2000 * std::sin(2 * M_PI * base * 2 * t);
            pcm[i] = int16_t(l + noise(rng));
            pcm[i + 1] = int16_t(r + noise(rng));
        }
        uint32_t n = 0;
        lame.beEncodeChunk(stream, samples, pcm.data(), out.data(), n);
        f.write(reinterpret_cast<const char *>(out.data()), n);
    }
    uint32_t n = 0;
    lame.beDeinitStream(stream, out.data(), n);
    f.write(reinterpret_cast<const char *>(out.data()), n);
    lame.beCloseStream(stream);
    return true;
}

} // namespace pvsm::bench
