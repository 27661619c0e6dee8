#pragma once

#include <QPoint>
#include <QWidget>

class VideoView;

// The small second view of the live picture, laid over the player area. It can
// be dragged with the left button; each move reports the new top-left corner
// relative to the centre of the parent (halves truncated toward zero).
class PictureInPicture : public QWidget
{
    Q_OBJECT
public:
    explicit PictureInPicture(QWidget *parent = nullptr);

    VideoView *videoFrame() const { return m_frame; }
    // Ends a drag in progress: later moves of the held button move nothing.
    void cancelDrag() { m_dragging = false; }

signals:
    void moved(const QPoint &offsetFromCentre);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    VideoView *m_frame;
    QPoint m_pressPoint;
    bool m_dragging = false;
};
