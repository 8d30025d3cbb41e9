#include "FrameSink.h"

#include <QDir>
#include <QFont>
#include <QPainter>

namespace pvsm {

uint64_t RecordingFrameSink::hashImage(const QImage &image)
{
    const QImage img = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    // FNV-1a over the visible pixels (padding bytes and the unused alpha byte of
    // RGB32 are left out so that equal pictures hash equally).
    uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const uint32_t v = line[x] & 0x00FFFFFFu;
            for (int b = 0; b < 3; ++b) {
                h ^= (v >> (8 * b)) & 0xFF;
                h *= 1099511628211ull;
            }
        }
    }
    h ^= uint64_t(img.width()) << 32 | uint64_t(img.height());
    return h;
}

bool RecordingFrameSink::WriteFrame(const QImage &frame, int count)
{
    if (count < 1) return false;
    m_frames += count;
    m_calls.push_back({count, hashImage(frame)});
    if (m_keep) {
        QImage copy = frame.convertToFormat(QImage::Format_RGB32);
        if (m_keepWidth > 0 && copy.width() > m_keepWidth)
            copy = copy.scaledToWidth(m_keepWidth, Qt::SmoothTransformation);
        m_kept.push_back(copy);
    }
    return true;
}

PngSequenceSink::PngSequenceSink(QString outDir)
    : m_dir(std::move(outDir))
{
    m_failed = !QDir().mkpath(m_dir);
}

bool PngSequenceSink::WriteFrame(const QImage &frame, int count)
{
    if (m_failed || count < 1) return false;
    const QString name = QStringLiteral("frame-%1.png").arg(m_frames + 1, 6, 10, QLatin1Char('0'));
    if (!frame.save(QDir(m_dir).filePath(name))) {
        m_failed = true;
        return false;
    }
    m_frames += count;
    return true;
}

QImage makeContactSheet(const std::vector<QImage> &pictures, const std::vector<RecordingFrameSink::Call> &calls,
                        int columns, int maxCells, const QString &title)
{
    if (pictures.empty()) return {};
    const int n = int(pictures.size());
    const int every = std::max(1, (n + maxCells - 1) / std::max(1, maxCells));
    std::vector<int> chosen;
    for (int i = 0; i < n; i += every) chosen.push_back(i);
    if (chosen.back() != n - 1) chosen.push_back(n - 1); // always show the last state
    std::vector<int64_t> startFrame(size_t(n), 0);
    int64_t f = 1;
    for (int i = 0; i < n && i < int(calls.size()); ++i) {
        startFrame[size_t(i)] = f;
        f += calls[size_t(i)].count;
    }

    const int cellW = pictures.front().width();
    const int cellH = pictures.front().height();
    const int labelH = 18;
    const int titleH = 28;
    const int pad = 6;
    const int cols = std::max(1, std::min(columns, int(chosen.size())));
    const int rows = (int(chosen.size()) + cols - 1) / cols;
    QImage sheet(pad + cols * (cellW + pad), titleH + rows * (cellH + labelH + pad) + pad, QImage::Format_RGB32);
    sheet.fill(QColor(40, 40, 44));
    QPainter p(&sheet);
    QFont font;
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(pad, 4, sheet.width() - 2 * pad, titleH - 6), Qt::AlignLeft | Qt::AlignVCenter, title);
    for (size_t k = 0; k < chosen.size(); ++k) {
        const int i = chosen[k];
        const int x = pad + int(k % size_t(cols)) * (cellW + pad);
        const int y = titleH + int(k / size_t(cols)) * (cellH + labelH + pad);
        p.drawImage(QPoint(x, y), pictures[size_t(i)]);
        QString label = QStringLiteral("#%1").arg(startFrame[size_t(i)]);
        if (i < int(calls.size()) && calls[size_t(i)].count > 1) label += QStringLiteral(" ×%1").arg(calls[size_t(i)].count);
        p.drawText(QRect(x, y + cellH, cellW, labelH), Qt::AlignCenter, label);
    }
    return sheet;
}

} // namespace pvsm
