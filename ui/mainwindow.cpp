#include "mainwindow.h"

#include "applog.h"
#include "camerawrapper.h"

#include <QLabel>

Q_LOGGING_CATEGORY(lcUi, "corvanta.ui")

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Corvanta App") + QStringLiteral(" - ") +
                   QStringLiteral("v1.4.1"));
    auto *label = new QLabel(QStringLiteral("SELECT CAMERA"), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
    resize(480, 320);
}

MainWindow::~MainWindow() = default;

bool MainWindow::writeLog(const QString &line)
{
    return AppLog::append(line);
}

void MainWindow::onCameraConnected()
{
    writeLog(AppLog::connectedLine());
    cameraConnected = true;
}

void MainWindow::onCameraDisconnected()
{
    writeLog(AppLog::disconnectedLine());
    cameraConnected = false;
    currentCamera = nullptr;
}

void MainWindow::onCameraStatusUpdated() {}
void MainWindow::onCameraStateChanged(QString) {}
void MainWindow::onCameraDownloadFinished(int) {}
void MainWindow::onCameraReadOneCycle() {}
void MainWindow::onCameraNameGetFinished() {}
