#include "messagepresenter.h"

#include <QMessageBox>
#include <QTimer>

MessagePresenter::MessagePresenter(QObject *parent) : QObject(parent) {}

MessagePresenter::~MessagePresenter()
{
    delete m_box.data();
}

void MessagePresenter::setParentWidget(QWidget *parent)
{
    m_parent = parent;
}

void MessagePresenter::show(const QString &text)
{
    if ((m_box && text == m_shown) || m_queue.contains(text))
        return;
    m_queue.append(text);
    if (!m_box && !m_scheduled) {
        m_scheduled = true;
        QTimer::singleShot(0, this, &MessagePresenter::showNext);
    }
}

void MessagePresenter::showNext()
{
    m_scheduled = false;
    if (m_box || m_queue.isEmpty())
        return;
    m_shown = m_queue.takeFirst();
    emit aboutToShow();
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Corvanta App"), m_shown,
                                QMessageBox::Ok, m_parent.data());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    connect(box, &QDialog::finished, this, [this] {
        m_box = nullptr; // deleted on close, later
        m_shown.clear();
        if (!m_queue.isEmpty() && !m_scheduled) {
            m_scheduled = true;
            QTimer::singleShot(0, this, &MessagePresenter::showNext);
        }
    });
    m_box = box;
    box->show();
}
