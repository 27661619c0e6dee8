#pragma once

#include <QDialog>

class AppSettings;
class PreviewMap;
class PreviewWin;
class QLineEdit;
class QPushButton;

// The "Image Preview Map" window: edits the map of the current camera over
// the preview (see PreviewMap, which carries out every edit). Each button
// emits its ...Clicked() signal, which the window itself connects to the map;
// the per-box buttons act on the selected custom preset (1..9) and do nothing
// while none is selected.
//
// The owner creates it once with the settings store and the preview it
// overlays, names the current camera with setCamera() on every selection,
// connection and disconnection (empty values when the camera goes away), and
// connects storePresetRequested() to the camera. Recalls of a box's preset
// leave through PreviewWin::presetRequested(). Non-modal; GUI thread only.
class BoundingBoxSettings : public QDialog
{
    Q_OBJECT
public:
    BoundingBoxSettings(AppSettings *settings, PreviewWin *preview, QWidget *parent = nullptr);
    ~BoundingBoxSettings() override;

    // Type 0 (network) or 1 (USB) and the camera id; other types or an empty
    // id mean no camera.
    void setCamera(int type, const QString &id, bool connected);
    // 1..9, or -1 while none is selected.
    int selectedCustomPreset() const { return m_selected; }
    PreviewMap *map() const { return m_map; }

signals:
    void takeSnapShotForBackgroundClicked();
    void uploadFileForBackgroundClicked();
    void useLiveVideoForBackgroundClicked();
    void takeSnapShotForBoundingBoxClicked(int customPreset);
    void defaultForBoundingBoxClicked(int customPreset);
    void setCustomPresetClicked(int customPreset, const QString &title);
    void showCrossHairClicked(int customPreset);
    void showCenterDiamondClicked(int customPreset);
    void removeCenterClicked(int customPreset);
    void resetAllBoxesClicked();
    void chooseColorClicked(int customPreset);
    void showHidePictureInPictureClicked();
    void showHideCurrentBoundingBoxClicked(int customPreset);
    void showHideBoundingBoxesClicked();
    // Store the camera's current position as this camera preset (101..109).
    void storePresetRequested(int cameraPreset);

public slots:
    void takeSnapShotForBackground();
    void uploadFileForBackground();
    void useLiveVideoForBackground();
    void selectCustomPreset1();
    void selectCustomPreset2();
    void selectCustomPreset3();
    void selectCustomPreset4();
    void selectCustomPreset5();
    void selectCustomPreset6();
    void selectCustomPreset7();
    void selectCustomPreset8();
    void selectCustomPreset9();
    void takeSnapShotForBoundingBox();
    void defaultForBoundingBox();
    void setCustomPreset();
    void showCrossHair();
    void showCenterDiamond();
    void removeCenter();
    void resetAllBoxes();
    void chooseColor();
    void showHidePictureInPicture();
    void showHideCurrentBoundingBox();
    void showHideBoundingBoxes();

private:
    void buildForm();
    void selectCustomPreset(int n);

    PreviewMap *m_map;
    int m_selected = -1;
    QPushButton *m_selectors[9] = {};
    QLineEdit *m_presetTitle = nullptr;
};
