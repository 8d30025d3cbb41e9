#pragma once

#include <QImage>
#include <QWidget>

namespace pvsm::ui {

// The current picture alone on the whole screen, drawn as the show fits it
// (keeping its aspect ratio on black). Any key or click closes it. The picture
// is decoded on the thread pool; the window shows black until it arrives.
class FullScreenPicture : public QWidget
{
    Q_OBJECT
public:
    static void show(const QString &path, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *) override;
    void keyPressEvent(QKeyEvent *) override { close(); }
    void mousePressEvent(QMouseEvent *) override { close(); }

private:
    explicit FullScreenPicture(QWidget *parent);
    QImage m_picture;
};

} // namespace pvsm::ui
