#pragma once

// Small sound files made by the tests themselves: tones as PCM, WAV files with
// any header, MP3s straight from libmp3lame, and other formats through the
// ffmpeg command-line tool.
#include "LittleEndian.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <lame/lame.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace pvsm::test {

// The byte helpers of the sound code, under the names the tests use.
using pvsm::le16;
using pvsm::le32;
using pvsm::put16;
using pvsm::put32;

// Interleaved 16-bit samples of a sine (440 Hz left, 660 Hz right when stereo).
inline std::vector<int16_t> tone(int rate, int channels, int frames, double amplitude = 12000)
{
    std::vector<int16_t> pcm(size_t(frames) * size_t(channels));
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[size_t(i) * channels + c] =
                int16_t(std::lround(amplitude * std::sin(2 * M_PI * (c == 0 ? 440.0 : 660.0) * i / rate)));
    return pcm;
}

inline QByteArray bytesOf(const std::vector<int16_t> &pcm)
{
    return QByteArray(reinterpret_cast<const char *>(pcm.data()), qsizetype(pcm.size() * 2));
}

// An 18-byte WAVEFORMATEX.
inline QByteArray pcmFormat(int rate, int channels, int bits, uint16_t tag = 1)
{
    QByteArray f;
    put16(f, tag);
    put16(f, uint16_t(channels));
    put32(f, uint32_t(rate));
    put32(f, uint32_t(rate * channels * bits / 8));
    put16(f, uint16_t(channels * bits / 8));
    put16(f, uint16_t(bits));
    put16(f, 0);
    return f;
}

inline QByteArray chunk(const QByteArray &id, const QByteArray &body, qint64 declaredSize = -1)
{
    QByteArray c = id;
    put32(c, uint32_t(declaredSize >= 0 ? declaredSize : body.size()));
    c += body;
    if (body.size() % 2) c.append('\0');
    return c;
}

// RIFF <form> made of the given chunks.
inline QByteArray riff(const QByteArray &chunks, const QByteArray &form = "WAVE")
{
    QByteArray r = "RIFF";
    put32(r, uint32_t(4 + chunks.size()));
    return r + form + chunks;
}

inline QByteArray wavFile(int rate, int channels, int bits, const QByteArray &data)
{
    return riff(chunk("fmt ", pcmFormat(rate, channels, bits).left(16)) + chunk("data", data));
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Mp3Options
{
    int rate = 44100;
    int channels = 2;
    bool vbr = false;
    int kbps = 128;  // CBR bit rate
    bool tag = true; // Xing (VBR) / Info (CBR) header
};

// Encodes `pcm` with libmp3lame.
inline QByteArray encodeMp3(const std::vector<int16_t> &pcm, const Mp3Options &o)
{
    lame_t g = lame_init();
    lame_set_in_samplerate(g, o.rate);
    lame_set_out_samplerate(g, o.rate);
    lame_set_num_channels(g, o.channels);
    lame_set_mode(g, o.channels == 1 ? MONO : JOINT_STEREO);
    if (o.vbr) {
        lame_set_VBR(g, vbr_default);
        lame_set_VBR_q(g, 4);
    } else {
        lame_set_brate(g, o.kbps);
    }
    lame_set_bWriteVbrTag(g, o.tag ? 1 : 0);
    lame_set_write_id3tag_automatic(g, 0);
    lame_init_params(g);
    const int frames = int(pcm.size()) / o.channels;
    std::vector<unsigned char> out(size_t(frames) * 5 / 4 + 7200 + 16384);
    int n = o.channels == 2 ? lame_encode_buffer_interleaved(g, const_cast<short *>(pcm.data()), frames, out.data(),
                                                             int(out.size()))
                            : lame_encode_buffer(g, pcm.data(), pcm.data(), frames, out.data(), int(out.size()));
    QByteArray mp3(reinterpret_cast<const char *>(out.data()), n);
    n = lame_encode_flush(g, out.data(), int(out.size()));
    mp3.append(reinterpret_cast<const char *>(out.data()), n);
    if (o.tag) {
        unsigned char tagFrame[4096];
        const size_t size = lame_get_lametag_frame(g, tagFrame, sizeof tagFrame);
        if (size > 0 && size <= size_t(mp3.size()))
            mp3.replace(qsizetype(0), qsizetype(size), reinterpret_cast<const char *>(tagFrame), qsizetype(size));
    }
    lame_close(g);
    return mp3;
}

inline bool haveFfmpeg()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

// Runs `ffmpeg -y -loglevel error ARGS`; true on success.
inline bool ffmpeg(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            QStringList{QStringLiteral("-y"), QStringLiteral("-loglevel"), QStringLiteral("error")} + args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Root mean square of one channel of interleaved 16-bit PCM.
inline double rms(const int16_t *pcm, size_t frames, int channels, int channel)
{
    double sum = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double v = pcm[i * size_t(channels) + size_t(channel)];
        sum += v * v;
    }
    return frames ? std::sqrt(sum / double(frames)) : 0;
}

} // namespace pvsm::test
