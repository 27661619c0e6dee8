#include "pictureinpicture.h"

#include "absolutelayout.h"
#include "videoview.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

PictureInPicture::PictureInPicture(QWidget *parent) : QWidget(parent), m_frame(new VideoView(this))
{
    auto *label = new QLabel(QStringLiteral("Picture In Picture"), this);
    label->setObjectName(QStringLiteral("label"));
    label->setMinimumHeight(20);
    label->setCursor(Qt::SizeAllCursor);
    label->setStyleSheet(QStringLiteral(
        "QLabel{\nfont-weight:bold;\ncolor : white;\nfont-size:13px;\npadding-left : "
        "5px;\npadding-right:5px;\nbackground:transparent;\n}"));
    m_frame->setObjectName(QStringLiteral("pictureInPictureFrame"));
    m_frame->setMinimumSize(256, 144);
    m_frame->setCursor(Qt::SizeAllCursor);
    m_frame->setStyleSheet(QStringLiteral("QFrame#pictureInPictureFrame{\nbackground:black;\n}"));
    m_frame->setFrameShape(QFrame::StyledPanel);
    m_frame->setFrameShadow(QFrame::Raised);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(m_frame);
    setMinimumSize(256, 144);
    resize(256, 144);
}

void PictureInPicture::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_pressPoint = event->pos();
    }
}

void PictureInPicture::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(mapToParent(event->pos() - m_pressPoint));
        if (QWidget *parent = parentWidget())
            emit moved(pos() - QPoint(parent->width() / 2, parent->height() / 2));
    }
}

void PictureInPicture::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
    m_pressPoint = QPoint();
}

void PictureInPicture::moveEvent(QMoveEvent *event)
{
    QWidget *parent = parentWidget();
    if (auto *layout = parent ? qobject_cast<AbsoluteLayout *>(parent->layout()) : nullptr) {
        const QPoint centre(parent->width() / 2, parent->height() / 2);
        layout->setOffset(layout->indexOf(this), event->pos() - centre);
    }
    QWidget::moveEvent(event);
}
