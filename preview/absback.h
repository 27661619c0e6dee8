#pragma once

#include <QWidget>

class QFrame;

// A full-area layer of the player area: one frame named "backWidget" in a
// zero-margin layout. Kind 1 is the video layer (its frame paints the video,
// see VideoView), kind 2 the background-picture layer. Moving the layer
// records its position, relative to the centre of its parent, as its offset
// in the parent's AbsoluteLayout.
class AbsBack : public QWidget
{
    Q_OBJECT
public:
    AbsBack(int kind, QWidget *parent = nullptr);

    int kind() const { return m_kind; }
    QFrame *backWidget() const { return m_back; }

protected:
    void moveEvent(QMoveEvent *event) override;

private:
    int m_kind;
    QFrame *m_back;
};
