#pragma once

#include <QElapsedTimer>
#include <QString>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace pvsm::cli {

// One line of progress on standard error, redrawn in place on a terminal.
class ProgressBar
{
public:
    void update(int percent, const QString &caption)
    {
        percent = std::clamp(percent, 0, 100);
        if (percent == m_percent && caption == m_caption && m_timer.isValid() && m_timer.elapsed() < 1000) return;
        m_percent = percent;
        m_caption = caption;
        m_timer.restart();
        const int width = 30;
        const int filled = percent * width / 100;
        const QString bar = QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('.'));
        const QString line = caption + QStringLiteral(" [") + bar + QStringLiteral("] ") + QString::number(percent) + QLatin1Char('%');
        const QByteArray bytes = line.toUtf8();
        if (isatty(STDERR_FILENO)) {
            std::fprintf(stderr, "\r\033[K%s", bytes.constData());
        } else if (percent / 10 != m_lastLogged / 10 || caption != m_lastCaption) {
            std::fprintf(stderr, "%s\n", bytes.constData());
            m_lastLogged = percent;
            m_lastCaption = caption;
        }
        std::fflush(stderr);
    }
    void done()
    {
        if (isatty(STDERR_FILENO)) std::fprintf(stderr, "\n");
    }

private:
    int m_percent = -1;
    QString m_caption;
    QElapsedTimer m_timer;
    int m_lastLogged = -100;
    QString m_lastCaption;
};

// SIGINT (Ctrl-C) and SIGTERM from now on set the flag a job's JobControl
// watches, so a long command stops as a cancel and leaves no file.
inline const std::atomic<bool> &cancelOnSignals()
{
    static std::atomic<bool> cancel{false};
    auto handler = [](int) { cancel.store(true); };
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
    return cancel;
}

} // namespace pvsm::cli
