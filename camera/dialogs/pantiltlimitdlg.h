#pragma once

#include "cameracontrol.h"

#include <QDialog>
#include <QPointer>

#include <memory>

class AppSettings;
class CameraWrapper;

namespace Ui {
class PanTiltLimitDlg;
}

// Fences the pan and tilt travel of one camera. The operator drives the camera
// with the dialog's arrows (pan and tilt speed 5), waits for the poll cycle to
// read the new position, and applies it to the left/down or right/up corner.
// An axis on the wrong side of centre for the corner gets the corner default
// (left/down: pan 0xF66F, tilt 0xFE4F; right/up: pan 0x0990, tilt 0x0510).
// The limits are shown and stored in whole degrees under the per-camera keys
// cameralimit_K (0 left, 1 right, 2 down, 3 up); they are never read back to
// the camera. The camera is held guarded: once it is destroyed every action
// does nothing (the opener also closes the dialog when its camera is let go).
// The arrows drive through the control layer, and only while the dialog's
// camera is the selected one: the layer's stopAll() (camera switch, rebuild,
// a box opening, the application losing focus, a dropped link) ends the
// dialog's move like any other. A move is also stopped when its button is
// released and when the dialog closes. Main thread only; the settings and the
// control layer must outlive the dialog.
class PanTiltLimitDlg : public QDialog
{
    Q_OBJECT
public:
    // Pan and tilt defaults of the two corners (16-bit camera positions).
    static constexpr int kLeftDefaultPan = 0xF66F;
    static constexpr int kDownDefaultTilt = 0xFE4F;
    static constexpr int kRightDefaultPan = 0x0990;
    static constexpr int kUpDefaultTilt = 0x0510;
    // Speed of the dialog's arrow buttons on both axes.
    static constexpr int kMoveSpeed = 5;

    // control may be null: the arrows then drive nothing.
    PanTiltLimitDlg(QWidget *parent, CameraWrapper *camera, AppSettings *settings,
                    CameraControl *control);
    ~PanTiltLimitDlg() override;

    void done(int result) override;

public slots:
    void moveUp();
    void moveDown();
    void moveLeft();
    void moveRight();
    void moveHome();
    void moveStop();
    void panTiltChanged();
    void applyUpRightLimit();
    void applyDownLeftLimit();

private:
    // Current 16-bit pan (or tilt) position from the four digit bytes of the
    // status record; each byte contributes its low nibble.
    int panPosition() const;
    int tiltPosition() const;
    bool panIsLeft() const;  // first pan digit 0xF
    bool tiltIsDown() const; // first tilt digit 0xF

    // The dialog's camera is alive and is the control layer's selection.
    bool drivesSelected() const;
    void startMove(CameraControl::Direction direction);

    std::unique_ptr<Ui::PanTiltLimitDlg> ui;
    QPointer<CameraWrapper> m_camera;
    bool m_moving = false;
    AppSettings *m_settings;
    QPointer<CameraControl> m_control;
};
