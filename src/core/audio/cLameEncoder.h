#pragma once

#include "FileAccess.h"
#include "ISoundStream.h"
#include "Job.h"
#include "LameApi.h"

#include <QString>

#include <vector>

namespace pvsm {

// Reads 16-bit stereo PCM from a WAV file in encoder-sized blocks. Sizes and
// positions are in sample frames of 4 bytes.
class cLameWavReader
{
public:
    static constexpr int32_t kDefaultBufferBytes = 131072;
    static constexpr int32_t kMaxFmtSize = 50;

    cLameWavReader();

    // Opens the file; the name is kept only on success.
    bool SetFilename(const QString &path) { return OpenFile(path); }
    QString Filename() const { return m_filename; }
    // Only RIFF WAVE files with a fmt chunk of 16..50 bytes, 16 bits and two
    // channels (any rate) are accepted; any failure leaves the reader closed.
    bool OpenFile(const QString &sSoundFile);
    void CloseFile();
    // True when a whole buffer was read and more data remains; false for the
    // read that reaches the end (its bytes are in the buffer: ReadSize), and
    // for a file that ends before its data chunk says.
    bool Read();
    int32_t ReadBufferSize() const { return m_bufferBytes / 4; }
    // Frames per read (positive); refused while a file is open.
    bool SetReadBufferSize(int32_t frames);
    int32_t ReadSize() const { return m_lastReadBytes / 4; }
    const int16_t *ReadBufferPtr() const { return m_buffer.data(); }
    int32_t AudioLength() const { return int32_t(m_dataSize / 4); }
    int32_t BufferStartPosition();
    // Ignored when the target lies outside the data.
    void SeekAbsolute(int32_t lSample);
    void SeekRelative(int32_t lSampleOffset);
    const WaveFormatEx &WaveFormat() const { return m_waveFormat; }

private:
    FileHandle m_file;
    QString m_filename;
    WaveFormatEx m_waveFormat;
    int32_t m_dataStart = 0;
    uint32_t m_dataSize = 0;
    int32_t m_bufferBytes = kDefaultBufferBytes;
    std::vector<int16_t> m_buffer;
    int32_t m_lastReadBytes = 0;
};

// Owns the output buffer and the MP3 file.
class cLameMp3Writer
{
public:
    static constexpr int32_t kDefaultBufferSize = 8192;

    cLameMp3Writer();

    // Replaces the buffer (zero-filled); 0 (false) when it cannot be allocated.
    bool SetBufferSize(int32_t bytes);
    int32_t BufferSize() const { return int32_t(m_buffer.size()); }
    uint8_t *BufferPointer() { return m_buffer.data(); }
    // Closes any open file, then creates (or truncates) this one.
    bool SetFilename(const QString &path);
    QString Filename() const { return m_filename; }
    // Writes lSize bytes of the buffer when lSize fits it and the file is
    // open; returns the bytes written, else 0.
    int32_t WriteBufferToFile(int32_t lSize);
    void CloseFile() { FileClose(m_file); }

private:
    std::vector<uint8_t> m_buffer;
    QString m_filename;
    FileHandle m_file;
};

// Encodes the joined soundtrack WAV into an MP3 through the encoder library.
// One object per thread; Encode blocks until done and calls the job's
// progress on the thread that runs it.
class cLameEncoder
{
public:
    cLameEncoder() = default;

    // Taken only when the file exists.
    bool SetWavFile(const QString &path);
    QString WavFile() const { return m_wavFile; }
    void SetMp3File(const QString &path) { m_mp3File = path; }
    QString Mp3File() const { return m_mp3File; }
    int32_t EncodingPreset() const { return m_config.nPreset; }
    void SetEncodingPreset(int32_t preset) { m_config.nPreset = preset; }
    int32_t BitRate() const { return m_config.dwBitrate; } // kbit/s
    void SetBitRate(int32_t kbps) { m_config.dwBitrate = kbps; }
    int32_t SampleRate() const { return m_config.dwSampleRate; } // Hz
    void SetSampleRate(int32_t hz) { m_config.dwSampleRate = hz; }
    int32_t OutputMode() const { return m_config.nMode; }
    void SetOutputMode(int32_t mode) { m_config.nMode = mode; }
    const BeConfig &Config() const { return m_config; }

    // Runs the whole job: progress every 100 chunks with the caption
    // "步骤3/5：编码音频", stops within one chunk when the job is cancelled
    // (then no MP3 file is left). False when the encoder cannot start, the
    // MP3 cannot be written, or the job was cancelled (Cancelled() tells
    // which). A WAV that is not 16-bit stereo gives an MP3 without audio
    // frames, and true.
    bool Encode(const JobControl &job = {});
    bool Cancelled() const { return m_cancelled; }

    uint32_t SamplesPerChunk() const { return m_samplesPerChunk; }
    uint32_t Mp3BufferSize() const { return m_mp3BufferSize; }
    static QString progressCaption() { return QStringLiteral("步骤3/5：编码音频"); }

private:
    BeConfig m_config;
    QString m_wavFile;
    QString m_mp3File;
    uint32_t m_streamHandle = 0;
    uint32_t m_samplesPerChunk = 0;
    uint32_t m_mp3BufferSize = 0;
    bool m_cancelled = false;
};

} // namespace pvsm
