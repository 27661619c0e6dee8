#pragma once

#include <QLoggingCategory>
#include <QMainWindow>

Q_DECLARE_LOGGING_CATEGORY(lcUi)

class CameraWrapper;

// The operator's control panel. This first version carries the camera signal
// slots and the connection log; the controls arrive with the panel itself.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Appends one line to app.log; false when the file cannot be opened.
    bool writeLog(const QString &line);

    bool cameraConnected = false;
    CameraWrapper *currentCamera = nullptr;

public slots:
    void onCameraConnected();
    void onCameraDisconnected();
    void onCameraStatusUpdated();
    void onCameraStateChanged(QString stateStr);
    void onCameraDownloadFinished(int presetNum);
    void onCameraReadOneCycle();
    void onCameraNameGetFinished();
};
