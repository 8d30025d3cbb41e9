#pragma once

#include "FileAccess.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace pvsm {

// The Xing (VBR) or Info (CBR) tag in the first frame. Big-endian in the file.
struct XingHeader
{
    uint32_t Flags = 0;
    uint32_t Frames = 0;            // flag 1
    uint32_t Bytes = 0;             // flag 2
    std::array<uint8_t, 100> Toc{}; // flag 4
    uint32_t Quality = 0;           // flag 8
};

// The VBRI tag, 36 bytes into the first frame.
struct VbriHeader
{
    uint16_t Version = 0;
    double Delay = 0;
    uint16_t Quality = 0;
    uint32_t Bytes = 0;
    uint32_t Frames = 0;
    uint16_t TocEntries = 0;
    uint16_t TocScale = 0;
    uint16_t TocEntrySize = 0;
    uint16_t TocFramesPerEntry = 0;
    std::vector<uint32_t> Toc; // TocEntries + 1 entries, each multiplied by TocScale
};

// Reads an MP3 file's structure without decoding it: where the first frame
// starts (two consecutive valid headers are required), that frame's stream
// parameters, and the length from a Xing, Info or VBRI tag or from the file
// size. Never fails loudly: every property is 0 until a successful call and
// after a failed one. Not thread-safe; one object per caller.
class MP3Info
{
public:
    // True when a first frame was found; the properties then hold the results.
    // A first frame too short for its tag leaves Frames and Duration 0.
    bool ReadMP3Info(const QString &sSoundFile);
    // The same over bytes in memory (tests, fuzzing).
    bool ReadMP3InfoFromBytes(const QByteArray &bytes);

    int32_t FirstFrame() const { return m_firstFrame; } // file offset
    double Duration() const { return m_durationMs; }    // milliseconds
    int32_t Channels() const { return m_channels; }
    int32_t SampleRate() const { return m_sampleRate; } // Hz
    int32_t BitRate() const { return m_bitRate; }       // bits per second; the average for a VBR stream
    int32_t FileSize() const { return m_fileSize; }     // bytes
    int32_t MpegBytes() const { return m_mpegBytes; }   // bytes of audio
    int32_t Frames() const { return m_frames; }
    int32_t Layer() const { return m_layer; }           // 1, 2 or 3
    float MpegVersion() const { return m_mpegVersion; } // 1, 2 or 2.5
    bool CopyrightBit() const { return m_copyright; }
    bool OriginalBit() const { return m_original; }
    bool PrivateBit() const { return m_private; }
    bool Protected() const { return m_protected; } // a CRC follows the header
    int32_t Emphasis() const { return m_emphasis; }
    bool IsVBR() const { return m_isVbr; } // a Xing or VBRI tag (an Info tag does not count)

    const XingHeader &Xing() const { return m_xing; }
    const VbriHeader &Vbri() const { return m_vbri; }

private:
    bool read(FileHandle &file);
    void clear();

    int32_t m_firstFrame = 0;
    double m_durationMs = 0;
    int32_t m_channels = 0;
    int32_t m_sampleRate = 0;
    int32_t m_bitRate = 0;
    int32_t m_fileSize = 0;
    int32_t m_mpegBytes = 0;
    int32_t m_frames = 0;
    int32_t m_layer = 0;
    float m_mpegVersion = 0;
    bool m_copyright = false;
    bool m_original = false;
    bool m_private = false;
    bool m_protected = false;
    int32_t m_emphasis = 0;
    bool m_isVbr = false;
    XingHeader m_xing;
    VbriHeader m_vbri;
};

// The first-frame search of MP3Info: file blocks of 2048 bytes pass an ID3v2
// recogniser (a tag is skipped whole) and a sync recogniser; a candidate
// header counts when it is valid and the header one frame length later is
// valid too. Gives up 10240 bytes past the end of the tag (or of offset 0).
bool FindFirstFrame(FileHandle &file, int32_t &offset, int32_t &frameLength);

// Reads a Xing/Info tag starting at `pos` of `frame` ("Xing"/"Info" at +0).
// False when the frame ends before a field its flags announce.
bool ParseXingHeader(const QByteArray &frame, int32_t pos, XingHeader &out);
// Reads a VBRI tag starting at `pos` ("VBRI" at +0). False when truncated.
bool ParseVbriHeader(const QByteArray &frame, int32_t pos, VbriHeader &out);

} // namespace pvsm
