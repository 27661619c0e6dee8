#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

#include "viscalink.h"

class AppSettings;
class CameraWrapper;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QWidget;

// "Multi Camera Setting": the eight camera slots, each a display name and
// either a network camera (address in camIPk) or a USB camera (usbCamk, one
// of the attached devices). Rows are filled once, at construction, from the
// cameras' accessors; no camera pointer is kept, so the cameras may be rebuilt
// while the dialog is open. OK writes the eight records as `cameraslist`
// (network: cameratype 0, cameraid = devicename = the address text; USB:
// cameratype 1, cameraid = devicename = the combo's current text; nothing is
// validated), emits camerasChanged and accepts. A network row also chooses its
// link (camProtocolk: TCP, UDP or serial) with the fields that apply to it:
// the port (camPortk) for TCP and UDP; the device (camDevicek, in place of
// camIPk), address (camAddressk) and baud rate (camBaudk) for serial. A
// serial camera's cameraid is the device path, followed by "#" and the
// address for addresses 2-7 so that cameras sharing a port keep apart. The
// stream addresses (and HTTP port) of a row are kept while its id stays the
// same. Cancel or closing writes
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
        QComboBox *protocol;
        QSpinBox *port;
        QLineEdit *serialDevice;
        QSpinBox *serialAddress;
        QComboBox *baud;
        QWidget *linkLabel;
        QWidget *linkFields;
        CameraLinkConfig initial; // as read from the camera
        QString initialId;
    };

    void showLinkFields(Row &row);
    void onProtocolChanged(Row &row);
    // The record of a network row.
    static void networkEntry(const Row &row, QString *id, CameraLinkConfig *link);

    AppSettings *m_settings;
    Row m_rows[kSlots];
};
