#pragma once

#include "ISoundStream.h"
#include "Job.h"
#include "Prompter.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace pvsm {

// One queued input of the joiner.
struct WaveEntry
{
    QString FileName;
    int64_t DataStart = 0; // position of the first data byte, counted from 1
    uint32_t DataSize = 0; // size of the data chunk, cut to what the file holds
    QByteArray WaveFormat; // the 20 bytes at offset 20 (the canonical fmt position)
};

// Joins a queue of PCM WAV files into one PCM WAV file in the output format,
// converting each input (rate, width 8/16, channels) on the way. The output
// is a 44-byte header followed by every entry's converted data in queue
// order. Holds no open file between calls; single thread.
class clsWavConcatenate
{
public:
    // A joined soundtrack must stay below this (32-bit file positions).
    static constexpr int64_t kMaxTotalBytes = 2140000000;
    static constexpr int kHeaderSize = 44;

    enum class Outcome {
        Joined,     // the file is complete
        Cancelled,  // the job was cancelled; the output has no valid header
        EmptyQueue, // nothing queued; no file made
        NoSpace,    // too little disk space or too much data; warned, no file made
        Failed,     // an input could not be converted or the output not written; partial output left
    };

    clsWavConcatenate() = default;

    // The output format (18 bytes of it count); must be PCM.
    void SetOutputFormat(const WaveFormatEx &format) { m_outputFormat = format; }
    const WaveFormatEx &OutputFormat() const { return m_outputFormat; }

    void ResetQueue() { m_queue.clear(); }
    // Appends one file; false when it does not exist, is a folder, or has no
    // RIFF WAVE data chunk. The same file may be queued more than once.
    bool WaveAdd(const QString &file);
    const std::vector<WaveEntry> &Queue() const { return m_queue; }

    // Writes the joined file. Before anything is written, the data total must
    // be below kMaxTotalBytes and fit on the output's volume; otherwise the
    // warning "<volume>盘空间不足，或临时音乐文件超过2GB，无法合并音频" goes to
    // `prompter` (when given) and the result is false. With nProgress the job
    // gets percentages with the caption "步骤2/5：合并音频". A cancelled job
    // returns true (see LastOutcome) and leaves the output without header.
    bool WaveConcatenate(const QString &output, bool nProgress, const JobControl &job = {},
                         Prompter *prompter = nullptr);
    Outcome LastOutcome() const { return m_outcome; }

    static QString progressCaption() { return QStringLiteral("步骤2/5：合并音频"); }

private:
    WaveFormatEx m_outputFormat;
    std::vector<WaveEntry> m_queue;
    Outcome m_outcome = Outcome::EmptyQueue;
};

// The 44-byte header of a joined file of `fileLength` bytes.
QByteArray MakeWavHeader44(const WaveFormatEx &format, int64_t fileLength);

} // namespace pvsm
