#pragma once

#include <QDialog>
#include <QString>

class AppSettings;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Preset Setting": chooses any camera preset 1-127, names, stores, recalls and
// clears it, shows or deletes its thumbnail, and carries a pad of move, zoom
// and home buttons. It does no camera work and holds no camera object: the
// owner tells it which camera is current (setCamera) and carries out what its
// signals ask, on that camera. GUI thread only.
//
// Every press signal of the pad is followed by exactly one matching release
// signal: when the button is released, and earlier when the dialog is hidden or
// closed, loses activation, or the camera changes or goes away while the
// button is held. The release comes synchronously from the call that causes
// it, before the dialog takes the new camera.
class PresetSettingDlg : public QDialog
{
    Q_OBJECT
public:
    // `settings` gives the stored preset names; it is not owned and must
    // outlive the dialog (null: names are not shown).
    explicit PresetSettingDlg(AppSettings *settings, QWidget *parent = nullptr);
    ~PresetSettingDlg() override;

    // The camera the signals are meant for: type 0 network, 1 USB, and its
    // camera id; an empty id means none. A camera shows preset 1 (combo, name
    // and thumbnail). None keeps the shown image and name. Changing or losing
    // the camera while a pad button is held emits that button's release first.
    void setCamera(int type, const QString &cameraId);
    int cameraType() const { return m_cameraType; }
    QString cameraId() const { return m_cameraId; }

    // The preset number chosen in the combo (1-127).
    int currentPreset() const;

    // The thumbnail file of preset `presetNum` of the current camera changed
    // (downloaded or deleted): reloads the image if that preset is shown.
    void updatePresetImage(int presetNum);

    // Deletes the thumbnail of (cameraId, presetNum) from the downloads
    // folder; nothing outside that folder is ever deleted. True if a file was
    // removed.
    static bool removePresetImage(const QString &cameraId, int presetNum);

public slots:
    void onSetBtnClicked();
    void onRecallBtnClicked();
    void onClearImageBtnClicked();
    void onClearPresetBtnClicked();
    void onMoveUpBtnPressed();
    void onMoveLeftBtnPressed();
    void onMoveRightBtnPressed();
    void onMoveDownBtnPressed();
    void onZoomInBtnPressed();
    void onZoomOutBtnPressed();
    void onMoveHomeBtnClicked();
    void onMoveUpBtnReleased();
    void onMoveLeftBtnReleased();
    void onMoveRightBtnReleased();
    void onMoveDownBtnReleased();
    void onZoomInBtnReleased();
    void onZoomOutBtnReleased();
    void onPresetCmbChanged(int index);

signals:
    // `index` is always a preset number, 1-127.
    void setPreset(int index, QString presetText);
    void recallPreset(int index);
    void clearImage(int index);
    void clearPreset(int index);
    void moveUpPress();
    void moveDownPress();
    void moveLeftPress();
    void moveRightPress();
    void zoomInPress();
    void zoomOutPress();
    void moveHome();
    void moveUpRelease();
    void moveDownRelease();
    void moveLeftRelease();
    void moveRightRelease();
    void zoomInRelease();
    void zoomOutRelease();

protected:
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    enum Pad
    {
        Up,
        Down,
        Left,
        Right,
        ZoomIn,
        ZoomOut,
        PadCount,
        NoPad = -1
    };

    void buildForm();
    QPushButton *padButton(const char *objectName, const char *toolTip, const char *sprite);
    void press(Pad pad);
    void release(Pad pad);
    // Ends the move of a held pad button, if any.
    void releaseHeld();
    void showImage();
    bool hasCamera() const { return !m_cameraId.isEmpty(); }

    AppSettings *m_settings;
    int m_cameraType = -1;
    QString m_cameraId;
    Pad m_held = NoPad;

    QLabel *m_imgLbl = nullptr;
    QComboBox *m_presetCmb = nullptr;
    QLineEdit *m_presetEdit = nullptr;
    QPushButton *m_pad[PadCount] = {};
};
