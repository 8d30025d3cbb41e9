#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace pvsm {

// One song of a show's soundtrack as it plays: its file and the length the
// show's slides were fitted to.
struct MusicTrack
{
    QString path;
    double seconds = 0;
};

// The music of a show as one endless stream of 16-bit stereo PCM on the
// show's time line, decoded while it plays by the export's sound sources
// (StreamMP3, StreamWMA, StreamWAV by the file's extension, then
// PCMPreparator): a silent lead of `leadSeconds` (the opening segment), then
// every track for exactly its length (cut, or filled with silence, so the
// music keeps to the times the slides were laid out for), then silence. Byte
// n of the stream therefore belongs to show time n / bytesPerSecond().
// A track that cannot be decoded plays as silence. One thread at a time.
class MusicStream
{
public:
    explicit MusicStream(int sampleRate = 44100);
    ~MusicStream();
    MusicStream(const MusicStream &) = delete;
    MusicStream &operator=(const MusicStream &) = delete;

    void setPlaylist(double leadSeconds, std::vector<MusicTrack> tracks);
    // Goes to show time `seconds` (0 and more).
    void seek(double seconds);
    // Fills `bytes` bytes (whole sample frames of 4 bytes; the rest of a
    // partial frame is left alone) and returns how many were written.
    int64_t read(char *data, int64_t bytes);
    // The show time of the next byte read.
    double position() const;
    int sampleRate() const { return m_rate; }
    int bytesPerSecond() const { return m_rate * 4; }
    // Show times (seconds) at which the tracks start, in play order.
    std::vector<double> trackStarts() const;
    // The show time after the last track.
    double musicEnd() const;

private:
    struct Decoder;
    bool openTrack(size_t index, int64_t offsetFrames);
    int64_t trackStartFrame(size_t index) const;

    int m_rate;
    double m_lead = 0;
    std::vector<MusicTrack> m_tracks;
    int64_t m_frame = 0;        // sample frames of show time read so far
    size_t m_open = SIZE_MAX;   // the track m_decoder decodes
    std::unique_ptr<Decoder> m_decoder;
};

} // namespace pvsm
