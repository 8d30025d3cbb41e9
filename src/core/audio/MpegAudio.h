#pragma once

#include <cstdint>

namespace pvsm {

// One MPEG audio frame header split into its fields (after the 11 sync bits).
struct FrameHeader
{
    uint8_t raw[4] = {};
    uint8_t VersionBits = 0;   // 0 MPEG 2.5, 1 reserved, 2 MPEG 2, 3 MPEG 1
    uint8_t LayerBits = 0;     // 1 Layer III, 2 Layer II, 3 Layer I, 0 reserved
    uint8_t ProtectionBit = 0; // 0: a CRC follows the header
    uint8_t BitrateIndex = 0;
    uint8_t SampleRateIndex = 0;
    uint8_t PaddingBit = 0;
    uint8_t PrivateBit = 0;
    uint8_t ChannelMode = 0; // 3 = single channel
    uint8_t ModeExtension = 0;
    uint8_t CopyrightBit = 0;
    uint8_t OriginalBit = 0;
    uint8_t EmphasisBits = 0;

    static FrameHeader parse(const uint8_t bytes[4]);

    bool isMpeg1() const { return VersionBits == 3; }
    int layer() const { return LayerBits == 0 ? 0 : 4 - LayerBits; } // 1, 2, 3
    int channels() const { return ChannelMode == 3 ? 1 : 2; }
    double mpegVersion() const { return VersionBits == 3 ? 1.0 : VersionBits == 2 ? 2.0 : 2.5; }
    // Bits per second from the standard tables; 0 for free format, reserved
    // values and index 15.
    int32_t bitRate() const;
    // Hz; 0 for reserved values.
    int32_t sampleRate() const;
    int32_t samplesPerFrame() const;
    // Bytes of the whole frame including the header; 0 when bit rate or sample
    // rate is unknown.
    int32_t frameLength() const;
    // Bytes of side information between the header and a Xing/Info tag.
    int32_t sideInfoLength() const;
};

// The strict check used by the structure parser (MP3Info): sync, no reserved
// version or layer, no free format, no bad bit-rate or sample-rate index, and
// the MPEG 1 Layer II bit-rate / channel-mode pairs.
bool IsValidHeader(const uint8_t bytes[4]);
// The looser check of the MP3 source: free format passes here and is refused
// later by its frame length.
bool IsValidSourceHeader(const uint8_t bytes[4]);

} // namespace pvsm
