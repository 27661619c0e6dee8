#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setupExposureWidgets() {}

void MainWindow::updateExposureStatus() {}

void MainWindow::stopExposureReplay() {}
