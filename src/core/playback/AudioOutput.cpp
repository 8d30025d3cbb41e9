#include "AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace pvsm {

namespace {

// The device side of the music: QAudioSink pulls, the stream decodes.
class FeedDevice final : public QIODevice
{
public:
    explicit FeedDevice(MusicStream &stream) : m_stream(stream) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 20; } // an endless stream

protected:
    qint64 readData(char *data, qint64 maxSize) override { return m_stream.read(data, maxSize & ~qint64(3)); }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    MusicStream &m_stream;
};

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

struct AudioClock::Impl
{
    QThread thread;
    QObject *context = nullptr; // lives on `thread`
    // Owned by the audio thread once started.
    std::unique_ptr<MusicStream> stream;
    std::unique_ptr<FeedDevice> device;
    std::unique_ptr<QAudioSink> sink;
    QTimer *poll = nullptr;
    int rate = 44100;

    mutable std::mutex mutex;  // the clock's numbers below
    bool started = false;
    bool paused = false;
    double base = 0;           // show time at the sink's start
    double processed = 0;      // seconds the sink has processed since its start
    double stamp = 0;          // steady time `processed` was read
    double pausedAt = 0;
    mutable double lastNow = 0; // now() never goes back between seeks
    std::vector<double> starts;

    template <class F> void call(F &&f)
    {
        if (!context || QThread::currentThread() == &thread) f();
        else QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
    }

    // On the audio thread.
    void sample()
    {
        if (!sink) return;
        const double p = double(sink->processedUSecs()) / 1e6;
        std::lock_guard lock(mutex);
        if (p != processed) {
            processed = p;
            stamp = steadySeconds();
        }
    }

    void restartAt(double seconds)
    {
        sink->stop();
        stream->seek(seconds);
        {
            std::lock_guard lock(mutex);
            base = seconds;
            processed = 0;
            stamp = steadySeconds();
            lastNow = seconds;
            if (paused) pausedAt = seconds;
        }
        sink->start(device.get());
        if (paused) sink->suspend();
    }
};

AudioClock::AudioClock() : d(std::make_unique<Impl>())
{
    d->thread.setObjectName(QStringLiteral("pvsm-audio"));
    d->context = new QObject;
    d->context->moveToThread(&d->thread);
    d->thread.start();
}

AudioClock::~AudioClock()
{
    d->call([this] {
        if (d->poll) d->poll->stop();
        delete d->poll;
        d->poll = nullptr;
        if (d->sink) d->sink->stop();
        d->sink.reset();
        d->device.reset();
        d->stream.reset();
    });
    d->thread.quit();
    d->thread.wait();
    delete d->context; // its thread has ended
}

bool AudioClock::deviceAvailable()
{
    if (!QCoreApplication::instance()) return false;
    return !QMediaDevices::defaultAudioOutput().isNull();
}

bool AudioClock::start(double leadSeconds, std::vector<MusicTrack> tracks, double startSeconds, QString *why)
{
    bool ok = false;
    QString reason;
    d->call([&] {
        if (!deviceAvailable()) {
            reason = QStringLiteral("没有可用的音频输出设备");
            return;
        }
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        QAudioFormat format;
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        format.setSampleRate(44100);
        if (!device.isFormatSupported(format)) format.setSampleRate(device.preferredFormat().sampleRate());
        if (!device.isFormatSupported(format)) {
            reason = QStringLiteral("音频输出设备不支持16位立体声");
            return;
        }
        d->rate = format.sampleRate();
        d->stream = std::make_unique<MusicStream>(d->rate);
        d->stream->setPlaylist(leadSeconds, std::move(tracks));
        d->starts = d->stream->trackStarts();
        d->device = std::make_unique<FeedDevice>(*d->stream);
        d->device->open(QIODevice::ReadOnly);
        d->sink = std::make_unique<QAudioSink>(device, format);
        // A quarter second ahead: enough against a busy renderer, short
        // enough that a pause or a skip is heard at once.
        d->sink->setBufferSize(d->rate * 4 / 4);
        d->restartAt(startSeconds);
        if (d->sink->error() != QAudio::NoError) {
            d->sink.reset();
            d->device.reset();
            d->stream.reset();
            reason = QStringLiteral("音频输出设备无法打开");
            return;
        }
        d->poll = new QTimer;
        d->poll->setInterval(5);
        d->poll->setTimerType(Qt::PreciseTimer);
        QObject::connect(d->poll, &QTimer::timeout, [this] { d->sample(); });
        d->poll->start();
        std::lock_guard lock(d->mutex);
        d->started = true;
        ok = true;
    });
    if (why) *why = reason;
    return ok;
}

void AudioClock::setPlaylist(double leadSeconds, std::vector<MusicTrack> tracks)
{
    d->call([&] {
        if (!d->stream) return;
        const double at = d->stream->position();
        d->stream->setPlaylist(leadSeconds, std::move(tracks));
        d->stream->seek(at);
        std::lock_guard lock(d->mutex);
        d->starts = d->stream->trackStarts();
    });
}

bool AudioClock::started() const
{
    std::lock_guard lock(d->mutex);
    return d->started;
}

double AudioClock::now() const
{
    std::lock_guard lock(d->mutex);
    if (d->paused) return d->pausedAt;
    // Between two readings of the device the clock runs on the system's,
    // a little at most: a stalled device stops the show instead of letting
    // the pictures run ahead of the sound.
    const double since = std::clamp(steadySeconds() - d->stamp, 0.0, 0.05);
    const double t = d->base + d->processed + (d->processed > 0 ? since : 0);
    d->lastNow = std::max(d->lastNow, t);
    return d->lastNow;
}

double AudioClock::waitUntil(double seconds, const std::atomic<bool> *wake)
{
    for (;;) {
        const double t = now();
        if (t >= seconds || (wake && wake->load())) return t;
        const double left = std::clamp(seconds - t, 0.0005, 0.004);
        std::this_thread::sleep_for(std::chrono::duration<double>(left));
    }
}

void AudioClock::setPaused(bool paused)
{
    d->call([&] {
        if (!d->sink) return;
        const double at = now();
        {
            std::lock_guard lock(d->mutex);
            if (paused == d->paused) return;
            d->paused = paused;
            if (paused) d->pausedAt = at;
        }
        if (paused) {
            d->sink->suspend();
        } else {
            d->sink->resume();
            d->sample();
            std::lock_guard lock(d->mutex);
            // What the device counted while suspended is not show time.
            d->base = d->pausedAt - d->processed;
            d->lastNow = d->pausedAt;
            d->stamp = steadySeconds();
        }
    });
}

bool AudioClock::paused() const
{
    std::lock_guard lock(d->mutex);
    return d->paused;
}

void AudioClock::seek(double seconds)
{
    d->call([&] {
        if (d->sink) d->restartAt(std::max(0.0, seconds));
    });
}

void AudioClock::setMuted(bool muted)
{
    d->call([&] {
        if (d->sink) d->sink->setVolume(muted ? 0.0 : 1.0);
    });
}

std::vector<double> AudioClock::trackStarts() const
{
    std::lock_guard lock(d->mutex);
    return d->starts;
}

} // namespace pvsm
