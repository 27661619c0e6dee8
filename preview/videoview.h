#pragma once

#include <QFrame>
#include <QImage>

// A frame that paints the current video picture scaled to fit, centred, over
// its own (style-sheet) background. Shared decoded frames are painted as they
// are, never copied.
class VideoView : public QFrame
{
    Q_OBJECT
public:
    explicit VideoView(QWidget *parent = nullptr);

    // A null image clears the picture.
    void setFrame(const QImage &frame);
    QImage frame() const { return m_frame; }

signals:
    // The first picture after a clear has been painted on screen.
    void firstFramePainted();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_frame;
    bool m_announced = false;
};
