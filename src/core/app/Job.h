#pragma once

#include <QString>

#include <atomic>
#include <functional>

namespace pvsm {

// What a long job gets from its caller: a way to report progress and a flag
// the caller may set from any thread to ask the job to stop.
struct JobControl
{
    // percent 0..100; caption is the text the progress window shows.
    std::function<void(int percent, const QString &caption)> progress;
    const std::atomic<bool> *cancel = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    void report(int percent, const QString &caption) const
    {
        if (progress) progress(percent, caption);
    }
};

} // namespace pvsm
