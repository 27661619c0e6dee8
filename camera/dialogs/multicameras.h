#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class AppSettings;
class CameraWrapper;
class QComboBox;
class QLineEdit;
class QRadioButton;

// "Multi Camera Setting": the eight camera slots, each a display name and
// either a network camera (address in camIPk) or a USB camera (usbCamk, one
// of the attached devices). Rows are filled once, at construction, from the
// cameras' accessors; no camera pointer is kept, so the cameras may be rebuilt
// while the dialog is open. OK writes the eight records as `cameraslist`
// (network: cameratype 0, cameraid = devicename = the address text; USB:
// cameratype 1, cameraid = devicename = the combo's current text; nothing is
// validated), emits camerasChanged and accepts. Cancel or closing writes
// nothing. The dialog never connects to a camera. Main thread only; settings
// must outlive the dialog.
class MultiCameras : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kSlots = 8;

    // `cameras`: the current cameras, slot 1 first (missing slots keep the
    // row defaults). `usbDevices`: ids of the attached USB cameras
    // (UsbCameraBackend::listDevices), listed in every usbCam combo box.
    MultiCameras(AppSettings *settings, const QList<CameraWrapper *> &cameras,
                 const QStringList &usbDevices, QWidget *parent = nullptr);
    ~MultiCameras() override;

signals:
    // The camera list was rewritten: rebuild the camera objects from it.
    void camerasChanged();

public slots:
    void onOKClicked();
    void onCancelClicked();

private:
    struct Row
    {
        QLineEdit *name;
        QRadioButton *ip;
        QLineEdit *address;
        QRadioButton *usb;
        QComboBox *device;
    };

    AppSettings *m_settings;
    Row m_rows[kSlots];
};
