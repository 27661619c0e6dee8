#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setupPresetWidgets() {}

void MainWindow::refreshPresetButtons() {}

void MainWindow::onCameraDownloadFinished(int presetNum)
{
    Q_UNUSED(presetNum);
}
