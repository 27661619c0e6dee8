// The panel state the web API shares with the desktop controls.
#include "literaltext.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalBlocker>

void MainWindow::setMemoryButtonText(int n, const QString &name)
{
    if (n >= 1 && n <= 9 && m_memButtons[n - 1])
        m_memButtons[n - 1]->setText(LiteralText::forButton(name));
}

void MainWindow::showAutoFocus(bool on)
{
    const QSignalBlocker blocker(ui->autoFocus);
    ui->autoFocus->setChecked(on);
    ui->focusIn->setEnabled(!on);
    ui->focusOut->setEnabled(!on);
}
