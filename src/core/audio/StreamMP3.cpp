#include "StreamMP3.h"

#include "LittleEndian.h"
#include "Numbers.h"

#include <cmath>

namespace pvsm {

namespace {

QByteArray makeWfx(const FrameHeader &h)
{
    QByteArray w;
    w.reserve(StreamMP3::kWfxSize);
    put16(w, kWaveFormatMpegLayer3);
    put16(w, uint16_t(h.channels()));
    put32(w, uint32_t(h.sampleRate()));
    put32(w, 1024 / 8 * 128); // nominal; the decoder ignores it
    put16(w, 1);              // nBlockAlign
    put16(w, 0);              // wBitsPerSample
    put16(w, 12);             // cbSize
    put16(w, 1);              // wID: MPEGLAYER3_ID_MPEG
    put32(w, 2);              // fdwFlags: MPEGLAYER3_FLAG_PADDING_OFF
    put16(w, 522);            // nBlockSize
    put16(w, 1);              // nFramesPerBlock
    put16(w, 1393);           // nCodecDelay
    return w;
}

} // namespace

StreamMP3::~StreamMP3()
{
    CloseSource();
}

SoundResult StreamMP3::OpenSource(const QString &Source)
{
    if (!FileExists(Source)) return SoundResultInvalidSource;
    CloseSource();
    FileHandle f = FileOpen(Source, FileMode::Read);
    if (!f.isOpen()) return SoundResultInvalidSource;
    return openHandle(std::move(f));
}

SoundResult StreamMP3::OpenBytes(const QByteArray &bytes)
{
    CloseSource();
    return openHandle(FileOpenMemory(bytes));
}

SoundResult StreamMP3::openHandle(FileHandle file)
{
    m_stopsExport = false;
    // One read serves every candidate offset 0..kFrameSearchLimit.
    QByteArray head(kFrameSearchLimit + 4, '\0');
    const int32_t got = std::max<int32_t>(FileReadAt(file, 0, head.data(), int32_t(head.size())), 0);
    const auto *p = reinterpret_cast<const uint8_t *>(head.constData());
    int32_t first = -1;
    for (int32_t off = 0; off <= kFrameSearchLimit && off + 4 <= got; ++off) {
        if (IsValidSourceHeader(p + off)) {
            first = off;
            break;
        }
    }
    if (first < 0) return SoundResultUnsupported;
    const FrameHeader header = FrameHeader::parse(p + first);
    const int32_t len = header.frameLength();
    if (len <= 1) {
        m_stopsExport = true;
        return SoundResultUnsupported;
    }

    XingHeader xing;
    bool hasXing = false;
    QByteArray frame(len, '\0');
    frame.resize(std::max<int32_t>(FileReadAt(file, first, frame.data(), len), 0));
    const qsizetype at = frame.indexOf("Xing");
    if (at >= 0) {
        // A tag cut short keeps the fields that were complete.
        ParseXingHeader(frame, int32_t(at), xing);
        hasXing = true;
    }

    FileSeek(file, first, FileBegin);
    m_file = std::move(file);
    m_firstFrame = first;
    m_header = header;
    m_xing = xing;
    m_hasXing = hasXing;
    m_wfx = makeWfx(header);
    return SoundResultOk;
}

SoundResult StreamMP3::CloseSource()
{
    FileClose(m_file);
    return SoundResultOk;
}

SoundResult StreamMP3::Read(uint8_t *pBuffer, int32_t cBytes, int32_t &cBytesRead)
{
    if (!m_file.isOpen()) return SoundResultInvalidSource;
    if (FileAtEnd(m_file)) {
        cBytesRead = 0;
        return SoundResultEndOfStream;
    }
    cBytesRead = FileRead(m_file, pBuffer, cBytes);
    return SoundResultOk;
}

double StreamMP3::audioBytes() const
{
    if (m_xing.Bytes >= 1) return m_xing.Bytes;
    return double(FileLength(m_file)) - m_firstFrame + 1;
}

double StreamMP3::frameCount() const
{
    if (m_xing.Frames >= 1) return m_xing.Frames;
    const int32_t len = frameLength();
    return len > 0 ? std::trunc(audioBytes() / len) : 0;
}

int32_t StreamMP3::Duration() const
{
    const double rate = m_header.sampleRate();
    double seconds = 0;
    if (m_hasXing) {
        if (rate > 0) seconds = frameCount() * m_header.samplesPerFrame() / rate;
    } else {
        const double bps = m_header.bitRate();
        if (bps > 0) seconds = audioBytes() * 8 / bps;
    }
    return Nearest(seconds * 1000.0);
}

int32_t StreamMP3::Position() const
{
    if (!m_file.isOpen()) return 0;
    const double pos = FilePosition(m_file);
    const double rate = m_header.sampleRate();
    const double spf = m_header.samplesPerFrame();
    if (!(m_xing.Flags & 4)) {
        const int32_t len = frameLength();
        if (len <= 0 || rate <= 0) return 0;
        return Nearest(pos / len * spf / rate * 1000.0 - 2000.0);
    }
    const double bytes = audioBytes();
    if (bytes <= 0 || rate <= 0) return 0;
    const double scaled = pos / bytes * 255.0;
    for (int i = 0; i < 100; ++i) {
        const double e = m_xing.Toc[size_t(i)];
        if (scaled < e) {
            const double g = i == 0 ? 0 : m_xing.Toc[size_t(i - 1)];
            const double percent = e > g ? i + 1 - (e - scaled) / (e - g) : i;
            return Nearest(frameCount() * percent / 100.0 * spf / rate * 1000.0);
        }
    }
    return 0;
}

SoundResult StreamMP3::SeekTo(int32_t value, int32_t mode)
{
    if (!m_file.isOpen()) return SoundResultOk;
    int32_t percent = 0;
    if (mode == SeekPercent) {
        if (value < 0 || value > 100) return SoundResultInvalidArgument;
        percent = value;
    } else if (mode == SeekSeconds) {
        const double seconds = Duration() / 1000.0;
        if (value < 0 || value > seconds) return SoundResultInvalidArgument;
        percent = seconds > 0 ? Nearest(value / seconds * 100.0) : 0;
    }
    const double length = FileLength(m_file);
    double target = 0;
    if (m_xing.Flags & 4) {
        // The table has entries for 0..99 percent; 100 percent is the end.
        target = percent >= 100 ? length : m_xing.Toc[size_t(percent)] * length / 255.0;
    } else {
        target = length * percent / 100.0;
    }
    const int32_t t = Nearest(target);
    FileSeek(m_file, t == 0 ? m_firstFrame : t, FileBegin);
    return SoundResultOk;
}

} // namespace pvsm
