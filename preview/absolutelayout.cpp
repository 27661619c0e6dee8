#include "absolutelayout.h"

#include <QWidget>

AbsoluteLayout::AbsoluteLayout(QWidget *parent) : QLayout(parent) {}

AbsoluteLayout::~AbsoluteLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void AbsoluteLayout::addWidget(QWidget *widget, const QPoint &offset)
{
    addChildWidget(widget);
    m_entries.append({new QWidgetItem(widget), offset});
    invalidate();
}

void AbsoluteLayout::setOffset(int index, const QPoint &offset)
{
    if (index >= 0 && index < m_entries.size())
        m_entries[index].offset = offset;
}

void AbsoluteLayout::addItem(QLayoutItem *item)
{
    m_entries.append({item, QPoint()});
}

QLayoutItem *AbsoluteLayout::itemAt(int index) const
{
    return index >= 0 && index < m_entries.size() ? m_entries.at(index).item : nullptr;
}

QLayoutItem *AbsoluteLayout::takeAt(int index)
{
    if (index < 0 || index >= m_entries.size())
        return nullptr;
    return m_entries.takeAt(index).item;
}

int AbsoluteLayout::count() const
{
    return m_entries.size();
}

QSize AbsoluteLayout::sizeHint() const
{
    return QSize(640, 360);
}

QSize AbsoluteLayout::minimumSize() const
{
    return QSize(0, 0);
}

void AbsoluteLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const QPoint centre(rect.width() / 2, rect.height() / 2);
    for (const Entry &entry : qAsConst(m_entries))
        entry.item->setGeometry(QRect(centre + entry.offset, entry.item->sizeHint()));
}
