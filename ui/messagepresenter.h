#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>

// Shows operator messages ("Corvanta App" boxes) without blocking whoever
// raised them: show() only queues the text and returns; the boxes open from
// the event loop, non-modal, one at a time, the next one after the current is
// closed. A text equal to the one on screen or one already waiting is dropped,
// so a camera repeating its error does not stack boxes. Safe to call from any
// handler (socket, camera, HTTP request). Main thread only.
class MessagePresenter : public QObject
{
    Q_OBJECT
public:
    explicit MessagePresenter(QObject *parent = nullptr);
    ~MessagePresenter() override;

    // Boxes are shown over (and styled by) this window; may be null.
    void setParentWidget(QWidget *parent);

    // The box on screen, if any.
    QMessageBox *currentBox() const { return m_box.data(); }
    // Texts waiting behind the box on screen.
    QStringList pending() const { return m_queue; }

public slots:
    void show(const QString &text);

signals:
    // Right before a box appears: running camera motions are stopped, since
    // the box may take the release of a held button.
    void aboutToShow();

private:
    void showNext();

    QPointer<QWidget> m_parent;
    QPointer<QMessageBox> m_box;
    QString m_shown;
    QStringList m_queue;
    bool m_scheduled = false;
};
