#include "absback.h"

#include "absolutelayout.h"
#include "videoview.h"

#include <QHBoxLayout>
#include <QMoveEvent>

AbsBack::AbsBack(int kind, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_back(kind == 1 ? new VideoView(this) : new QFrame(this))
{
    m_back->setObjectName(QStringLiteral("backWidget"));
    m_back->setFrameShape(QFrame::StyledPanel);
    m_back->setFrameShadow(QFrame::Raised);
    m_back->setStyleSheet(QStringLiteral("QFrame#backWidget{\nbackground:transparent;\n}"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_back);
    resize(400, 300);
}

void AbsBack::moveEvent(QMoveEvent *event)
{
    QWidget *parent = parentWidget();
    if (auto *layout = parent ? qobject_cast<AbsoluteLayout *>(parent->layout()) : nullptr) {
        const QPoint centre(parent->width() / 2, parent->height() / 2);
        layout->setOffset(layout->indexOf(this), event->pos() - centre);
    }
    event->accept();
}
