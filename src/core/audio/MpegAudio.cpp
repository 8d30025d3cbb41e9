#include "MpegAudio.h"

#include "Bitstream.h"

namespace pvsm {

namespace {

// kbit/s by [row][index]; rows: MPEG 1 Layer I, II, III; MPEG 2/2.5 Layer I;
// MPEG 2/2.5 Layers II and III.
constexpr int kBitRates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

// Hz by [VersionBits][index].
constexpr int kSampleRates[4][4] = {
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
};

} // namespace

FrameHeader FrameHeader::parse(const uint8_t b[4])
{
    FrameHeader h;
    for (int i = 0; i < 4; ++i)
        h.raw[i] = b[i];
    Bitstream bits;
    bits.SetData(QByteArray(reinterpret_cast<const char *>(b), 4), 0, 4);
    bits.SkipBits(11);
    h.VersionBits = uint8_t(bits.ReadBits(2));
    h.LayerBits = uint8_t(bits.ReadBits(2));
    h.ProtectionBit = uint8_t(bits.ReadBits(1));
    h.BitrateIndex = uint8_t(bits.ReadBits(4));
    h.SampleRateIndex = uint8_t(bits.ReadBits(2));
    h.PaddingBit = uint8_t(bits.ReadBits(1));
    h.PrivateBit = uint8_t(bits.ReadBits(1));
    h.ChannelMode = uint8_t(bits.ReadBits(2));
    h.ModeExtension = uint8_t(bits.ReadBits(2));
    h.CopyrightBit = uint8_t(bits.ReadBits(1));
    h.OriginalBit = uint8_t(bits.ReadBits(1));
    h.EmphasisBits = uint8_t(bits.ReadBits(2));
    return h;
}

int32_t FrameHeader::bitRate() const
{
    if (VersionBits == 1 || LayerBits == 0) return 0;
    int row = 0;
    if (isMpeg1())
        row = layer() - 1;
    else
        row = layer() == 1 ? 3 : 4;
    return kBitRates[row][BitrateIndex] * 1000;
}

int32_t FrameHeader::sampleRate() const
{
    return kSampleRates[VersionBits][SampleRateIndex];
}

int32_t FrameHeader::samplesPerFrame() const
{
    switch (layer()) {
    case 1:
        return 384;
    case 2:
        return 1152;
    case 3:
        return isMpeg1() ? 1152 : 576;
    default:
        return 0;
    }
}

int32_t FrameHeader::frameLength() const
{
    const int64_t br = bitRate();
    const int64_t sr = sampleRate();
    if (br <= 0 || sr <= 0) return 0;
    switch (layer()) {
    case 1:
        return int32_t((12 * br / sr + PaddingBit) * 4);
    case 2:
        return int32_t(144 * br / sr + PaddingBit);
    case 3:
        return int32_t((isMpeg1() ? 144 : 72) * br / sr + PaddingBit);
    default:
        return 0;
    }
}

int32_t FrameHeader::sideInfoLength() const
{
    if (isMpeg1()) return ChannelMode == 3 ? 17 : 32;
    return ChannelMode == 3 ? 9 : 17;
}

bool IsValidSourceHeader(const uint8_t b[4])
{
    if (b[0] != 0xFF || b[1] <= 0xDF) return false;
    const FrameHeader h = FrameHeader::parse(b);
    return h.VersionBits != 1 && h.LayerBits != 0 && h.BitrateIndex != 15 && h.SampleRateIndex != 3;
}

bool IsValidHeader(const uint8_t b[4])
{
    if (!IsValidSourceHeader(b)) return false;
    const FrameHeader h = FrameHeader::parse(b);
    if (h.BitrateIndex == 0) return false;
    if (h.isMpeg1() && h.layer() == 2) {
        const int kbps = h.bitRate() / 1000;
        const bool mono = h.ChannelMode == 3;
        if ((kbps == 32 || kbps == 48 || kbps == 56 || kbps == 80) && !mono) return false;
        if ((kbps == 224 || kbps == 256 || kbps == 320 || kbps == 384) && mono) return false;
    }
    return true;
}

} // namespace pvsm
