// The tally side of the panel: camera buttons coloured by the switchers'
// program/preview state, messages in the status bar, the settings entry.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

void MainWindow::setTallySettingsOpener(std::function<void()> opener)
{
    m_openTallySettings = std::move(opener);
    connect(ui->actionTallySetting, &QAction::triggered, this, [this] {
        if (m_openTallySettings)
            m_openTallySettings();
    });
}

void MainWindow::setCameraTally(int index, const QString &state)
{
    const QList<QPushButton *> buttons = cameraButtons();
    if (index < 0 || index >= buttons.size())
        return;
    QPushButton *button = buttons.at(index);
    const bool known = state == QLatin1String("program") || state == QLatin1String("preview");
    const QVariant value = known ? QVariant(state) : QVariant();
    if (button->property("tally") == value)
        return;
    button->setProperty("tally", value);
    // Property selectors are matched at polish time.
    button->style()->unpolish(button);
    button->style()->polish(button);
    button->update();
}

void MainWindow::showStatusMessage(const QString &text, int ms)
{
    if (!m_statusMessage) {
        // Laid over the whole bar, outside its layout: the read-outs leave no
        // room for a message and must not be rearranged for one.
        m_statusMessage = new QLabel(ui->statusBar);
        m_statusMessage->setObjectName(QStringLiteral("statusMessage"));
        m_statusMessage->setStyleSheet(QStringLiteral(
            "QLabel{background : #c62828;color : white;font-weight : bold;padding : 0px 6px;}"));
        m_statusMessage->hide();
        m_statusMessageTimer = new QTimer(this);
        m_statusMessageTimer->setSingleShot(true);
        connect(m_statusMessageTimer, &QTimer::timeout, this, [this] {
            m_statusMessage->hide();
            if (m_statusBarForMessage) {
                m_statusBarForMessage = false;
                ui->statusBar->setVisible(ui->actionStatusBar->isChecked());
            }
        });
    }
    if (ui->statusBar->isHidden()) {
        m_statusBarForMessage = true;
        ui->statusBar->show();
    }
    m_statusMessage->setGeometry(ui->statusBar->rect());
    m_statusMessage->ensurePolished(); // its bold font measures the text
    const int room = m_statusMessage->width() - 12;
    m_statusMessage->setText(
        m_statusMessage->fontMetrics().elidedText(text, Qt::ElideRight, qMax(room, 40)));
    m_statusMessage->setToolTip(text);
    m_statusMessage->raise();
    m_statusMessage->show();
    m_statusMessageTimer->start(ms);
}
