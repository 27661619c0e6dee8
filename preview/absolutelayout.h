#pragma once

#include <QLayout>
#include <QList>
#include <QPoint>

// Places every item at its offset from the centre of the layout's rectangle,
// with the item's size hint as its size: children keep their distance from
// the centre when the area is resized.
class AbsoluteLayout : public QLayout
{
    Q_OBJECT
public:
    explicit AbsoluteLayout(QWidget *parent = nullptr);
    ~AbsoluteLayout() override;

    void addWidget(QWidget *widget, const QPoint &offset = QPoint());
    void setOffset(int index, const QPoint &offset);

    void addItem(QLayoutItem *item) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    struct Entry
    {
        QLayoutItem *item;
        QPoint offset;
    };
    QList<Entry> m_entries;
};
