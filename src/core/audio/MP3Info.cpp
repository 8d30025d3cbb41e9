#include "MP3Info.h"

#include "MpegAudio.h"
#include "Numbers.h"

#include <cstring>

namespace pvsm {

namespace {

constexpr int32_t kScanBlock = 2048;
constexpr int64_t kScanLimitPastTag = 10240;

uint32_t be32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Reads big-endian fields one after another, noting when the data runs out.
struct FieldReader
{
    const QByteArray &data;
    int64_t pos;
    bool ok = true;

    uint32_t take(int bytes)
    {
        if (pos < 0 || pos + bytes > data.size()) {
            ok = false;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | uint8_t(data[qsizetype(pos + i)]);
        pos += bytes;
        return v;
    }
};

bool validAt(FileHandle &file, int64_t offset)
{
    if (offset < 0 || offset > kMaxAudioFileBytes) return false;
    uint8_t h[4];
    return FileReadAt(file, int32_t(offset), h, 4) == 4 && IsValidHeader(h);
}

} // namespace

bool FindFirstFrame(FileHandle &file, int32_t &offset, int32_t &frameLength)
{
    offset = 0;
    frameLength = 0;
    const int64_t length = FileLength(file);
    int64_t pos = 0;
    int64_t tagEnd = 0;
    int id3 = 0;
    int sync = 0;
    uint8_t block[kScanBlock];
    while (pos < length) {
        const int64_t blockStart = pos;
        const int32_t n = FileReadAt(file, int32_t(blockStart), block, kScanBlock);
        if (n <= 0) break;
        bool jumped = false;
        for (int32_t i = 0; i < n; ++i) {
            const int64_t at = blockStart + i;
            const uint8_t b = block[i];
            if (id3 == 0 && b == 'I')
                id3 = 1;
            else if (id3 == 1 && b == 'D')
                id3 = 2;
            else if (id3 == 2 && b == '3')
                id3 = 3;
            else
                id3 = 0;
            if (id3 == 3) {
                id3 = 0;
                const int64_t tagStart = at - 2;
                uint8_t t[10];
                if (FileReadAt(file, int32_t(tagStart), t, 10) == 10) {
                    int64_t size = 0;
                    if (((t[6] | t[7] | t[8] | t[9]) & 0x80) == 0)
                        size = int64_t(t[6]) << 21 | int64_t(t[7]) << 14 | int64_t(t[8]) << 7 | t[9];
                    else
                        size = int64_t(be32(t + 6));
                    const int64_t tagLength = size + ((t[3] > 3 && (t[5] & 0x10)) ? 20 : 10);
                    tagEnd = tagStart + tagLength;
                    pos = tagEnd;
                    sync = 0;
                    jumped = true;
                    break;
                }
            }
            if (sync == 0) {
                if (b == 0xFF) sync = 1;
            } else {
                sync = 0;
                if (b != 0) {
                    // A candidate: the header starts at the 0xFF before this byte.
                    const int64_t headerAt = at - 1;
                    uint8_t h[4];
                    if (FileReadAt(file, int32_t(headerAt), h, 4) == 4 && IsValidHeader(h)) {
                        const int32_t len = FrameHeader::parse(h).frameLength();
                        if (len > 0 && validAt(file, headerAt + len)) {
                            offset = int32_t(headerAt);
                            frameLength = len;
                            return true;
                        }
                    }
                }
            }
        }
        if (jumped) continue;
        if (blockStart - tagEnd > kScanLimitPastTag) break;
        pos = blockStart + kScanBlock;
    }
    return false;
}

bool ParseXingHeader(const QByteArray &frame, int32_t pos, XingHeader &out)
{
    out = XingHeader{};
    FieldReader r{frame, int64_t(pos) + 4};
    out.Flags = r.take(4);
    if (!r.ok) return false;
    if (out.Flags & 1) out.Frames = r.take(4);
    if (out.Flags & 2) out.Bytes = r.take(4);
    if (out.Flags & 4) {
        for (auto &e : out.Toc)
            e = uint8_t(r.take(1));
    }
    if (out.Flags & 8) out.Quality = r.take(4);
    return r.ok;
}

bool ParseVbriHeader(const QByteArray &frame, int32_t pos, VbriHeader &out)
{
    out = VbriHeader{};
    FieldReader r{frame, int64_t(pos) + 4};
    out.Version = uint16_t(r.take(2));
    out.Delay = double(r.take(2));
    out.Quality = uint16_t(r.take(2));
    out.Bytes = r.take(4);
    out.Frames = r.take(4);
    out.TocEntries = uint16_t(r.take(2));
    out.TocScale = uint16_t(r.take(2));
    out.TocEntrySize = uint16_t(r.take(2));
    out.TocFramesPerEntry = uint16_t(r.take(2));
    if (!r.ok) return false;
    // Entries wider than four bytes are read as their last four bytes.
    const int64_t need = (int64_t(out.TocEntries) + 1) * out.TocEntrySize;
    if (r.pos + need > frame.size()) return false;
    out.Toc.reserve(size_t(out.TocEntries) + 1);
    for (int i = 0; i <= out.TocEntries; ++i) {
        uint32_t v = 0;
        for (int k = 0; k < out.TocEntrySize; ++k)
            v = (v << 8) | r.take(1);
        out.Toc.push_back(v * out.TocScale);
    }
    return r.ok;
}

void MP3Info::clear()
{
    *this = MP3Info{};
}

bool MP3Info::ReadMP3Info(const QString &sSoundFile)
{
    clear();
    FileHandle f = FileOpen(sSoundFile, FileMode::Read);
    if (!f.isOpen()) return false;
    return read(f);
}

bool MP3Info::ReadMP3InfoFromBytes(const QByteArray &bytes)
{
    clear();
    FileHandle f = FileOpenMemory(bytes);
    if (!f.isOpen()) return false;
    return read(f);
}

bool MP3Info::read(FileHandle &file)
{
    const int32_t fileSize = FileLength(file);
    int32_t first = 0, frameLength = 0;
    if (!FindFirstFrame(file, first, frameLength)) return false;
    m_fileSize = fileSize;
    m_firstFrame = first;

    uint8_t hb[4];
    FileReadAt(file, first, hb, 4);
    const FrameHeader h = FrameHeader::parse(hb);
    m_channels = h.channels();
    m_layer = h.layer();
    m_mpegVersion = float(h.mpegVersion());
    m_sampleRate = h.sampleRate();
    m_copyright = h.CopyrightBit;
    m_original = h.OriginalBit;
    m_private = h.PrivateBit;
    m_protected = h.ProtectionBit == 0;
    m_emphasis = h.EmphasisBits;
    m_bitRate = h.bitRate();

    int64_t mpegBytes = int64_t(fileSize) - first;
    if (fileSize >= 128) {
        char tag[3];
        if (FileReadAt(file, fileSize - 128, tag, 3) == 3 && std::memcmp(tag, "TAG", 3) == 0) mpegBytes -= 128;
    }
    m_mpegBytes = int32_t(std::max<int64_t>(mpegBytes, 0));

    QByteArray frame(frameLength, '\0');
    if (FileReadAt(file, first, frame.data(), frameLength) != frameLength) return true;
    enum class Kind { None, Xing, Info, Vbri } kind = Kind::None;
    const int32_t tagAt = 4 + h.sideInfoLength();
    const QByteArray tagName = frame.mid(tagAt, 4);
    if (tagName == "Xing") {
        if (!ParseXingHeader(frame, tagAt, m_xing)) return true;
        kind = Kind::Xing;
        m_isVbr = true;
    } else if (tagName != "Info") {
        if (frame.mid(36, 4) == "VBRI") {
            if (!ParseVbriHeader(frame, 36, m_vbri)) return true;
            kind = Kind::Vbri;
            m_isVbr = true;
        }
    } else {
        if (!ParseXingHeader(frame, tagAt, m_xing)) return true;
        kind = Kind::Info;
    }

    const bool xingLike = kind == Kind::Xing || kind == Kind::Info;
    if (xingLike && (m_xing.Flags & 2)) m_mpegBytes = int32_t(std::min<uint32_t>(m_xing.Bytes, INT32_MAX));
    if (kind == Kind::Vbri && m_vbri.Bytes > 0) m_mpegBytes = int32_t(std::min<uint32_t>(m_vbri.Bytes, INT32_MAX));

    m_frames = Nearest(double(m_mpegBytes) / frameLength);
    if (xingLike && (m_xing.Flags & 1)) m_frames = int32_t(std::min<uint32_t>(m_xing.Frames, INT32_MAX));
    if (kind == Kind::Vbri && m_vbri.Frames > 0) m_frames = int32_t(std::min<uint32_t>(m_vbri.Frames, INT32_MAX));

    if (m_sampleRate > 0) m_durationMs = double(m_frames) * h.samplesPerFrame() / m_sampleRate * 1000.0;
    if (m_isVbr && m_durationMs > 0) m_bitRate = Nearest(double(m_mpegBytes) * 8 / m_durationMs * 1000.0);
    return true;
}

} // namespace pvsm
