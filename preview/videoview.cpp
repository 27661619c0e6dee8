#include "videoview.h"

#include <QPainter>

VideoView::VideoView(QWidget *parent) : QFrame(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void VideoView::setFrame(const QImage &frame)
{
    if (frame.isNull())
        m_announced = false;
    if (frame.isNull() && m_frame.isNull())
        return;
    m_frame = frame;
    update();
}

void VideoView::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_frame.isNull())
        return;
    const QRect area = contentsRect();
    const QSize size = m_frame.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - size.width()) / 2,
                       area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_frame);
    if (!m_announced) {
        m_announced = true;
        emit firstFramePainted();
    }
}
