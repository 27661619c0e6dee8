// The tally side of the panel: camera buttons coloured by the switchers'
// program/preview state, messages in the status bar, the settings entry.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QStatusBar>
#include <QStyle>

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
    if (!m_statusMessageWired) {
        m_statusMessageWired = true;
        connect(ui->statusBar, &QStatusBar::messageChanged, this, [this](const QString &message) {
            if (message.isEmpty() && m_statusBarForMessage) {
                m_statusBarForMessage = false;
                ui->statusBar->setVisible(ui->actionStatusBar->isChecked());
            }
        });
    }
    if (ui->statusBar->isHidden()) {
        m_statusBarForMessage = true;
        ui->statusBar->show();
    }
    ui->statusBar->showMessage(text, ms);
}
