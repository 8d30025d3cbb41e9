#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

struct AVCodecParameters;
struct AVPacket;

namespace pvsm {

// AAC-LC, stereo, 48 kHz: the sound of an MP4 video. Takes 16-bit
// interleaved PCM at any rate and channel count (resampled with
// libswresample) and hands out coded packets whose times count samples at
// 48 kHz from the first sample given. The first packets carry the encoder's
// priming (`primingSamples()`): their times are negative, so a muxer that
// writes an edit list lets players start with the first sample given.
class AacEncoder
{
public:
    static constexpr int kSampleRate = 48000;
    static constexpr int kChannels = 2;

    // Receives each packet; returning false stops the encoder (a failed write).
    using PacketSink = std::function<bool(AVPacket *packet)>;

    AacEncoder();
    ~AacEncoder();
    AacEncoder(const AacEncoder &) = delete;
    AacEncoder &operator=(const AacEncoder &) = delete;

    bool open(int inputRate, int inputChannels, PacketSink sink, QString *error);
    // The stream's parameters for a muxer (valid after open()).
    bool copyParameters(AVCodecParameters *out) const;
    int primingSamples() const;

    // `frames` sample frames of `inputChannels` interleaved values each.
    bool write(const int16_t *samples, int64_t frames);
    // Codes what is left and the encoder's tail.
    bool finish();
    const QString &errorText() const { return m_error; }

private:
    struct Impl;
    bool fail(const QString &message);
    bool encodeFrames(bool flushing);
    bool drain(bool flushing);

    std::unique_ptr<Impl> d;
    QString m_error;
};

} // namespace pvsm
