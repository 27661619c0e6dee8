#pragma once

#include <QColor>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class AppSettings;
class PreviewWin;
class QMessageBox;
class QWidget;

// Snapshot files of the image preview map, in the downloads folder:
// "snapshot_" + camera key + "_back.png" for the background and
// "snapshot_" + camera key + "_" + n + "_back.png" for box n. Spaces, "/",
// "\\" and NUL in the key become "_", so every name stays inside downloads/.
QString mapBackgroundSnapshotPath(const QString &cameraKey);
QString mapBoxSnapshotPath(const QString &cameraKey, int box);

// The image preview map of the current camera over a PreviewWin: nine boxes
// ("custom presets" 1..9, bound to camera presets 101..109) and a background
// picture over the live video, plus the picture-in-picture view. Every value
// is stored per camera key in AppSettings; the overlay shows only while the
// preview plays. It holds no camera: the owner names the current camera with
// setCamera() and carries out storePresetRequested(). Recalls go out through
// PreviewWin::presetRequested(). Edits need a connected camera; without one
// they show "Can not set bounding boxes' property." and change nothing.
// Message boxes never block. GUI thread only.
class PreviewMap : public QObject
{
    Q_OBJECT
public:
    // Returns the chosen file, or an empty string when cancelled.
    using FileDialog = std::function<QString(QWidget *parent, const QString &title)>;
    // Returns the chosen colour, or an invalid one when cancelled.
    using ColorDialog =
        std::function<QColor(QWidget *parent, const QColor &initial, const QString &title)>;

    // `settings` and `preview` must outlive the map; `dialogParent` parents the
    // dialogs and message boxes.
    PreviewMap(AppSettings *settings, PreviewWin *preview, QWidget *dialogParent,
               QObject *parent = nullptr);
    ~PreviewMap() override;

    // The current camera: type 0 (network) or 1 (USB) and its id, which keys
    // every stored value. Any other type or an empty id means no camera.
    void setCamera(int type, const QString &id, bool connected);
    QString cameraKey() const { return m_cameraKey; }
    bool isConnected() const { return m_connected; }

    void setFileDialog(FileDialog dialog) { m_fileDialog = std::move(dialog); }
    void setColorDialog(ColorDialog dialog) { m_colorDialog = std::move(dialog); }
    // A message box titled "Corvanta App" that does not block; the same text
    // already on screen is raised instead of shown twice.
    void showMessage(const QString &text);

public slots:
    void takeSnapShotForBackground();
    void uploadFileForBackground();
    void useLiveVideoForBackground();
    void takeSnapShotForBoundingBox(int curCustomPreset);
    void defaultForBoundingBox(int curCustomPreset);
    void setCustomPreset(int curCustomPreset, const QString &title);
    void showCrossHair(int curCustomPreset);
    void showCenterDiamond(int curCustomPreset);
    void removeCenter(int curCustomPreset);
    void resetAllBoxes();
    void chooseColor(int curCustomPreset);
    void showHidePictureInPicture();
    void showHideCurrentBoundingBox(int curCustomPreset);
    void showHideBoundingBoxes();

    // Fills, marks, titles and background of the current camera (run when
    // playback starts).
    void loadOverlay();
    // Visibility and places of the layers and boxes (run by each overlay
    // refresh of the preview).
    void refreshOverlay();

signals:
    // Store the camera's current position as this camera preset (101..109).
    void storePresetRequested(int cameraPreset);

private:
    bool editable();
    bool validBox(int n) const { return n >= 1 && n <= 9; }
    void loadBox(int n);
    void setCenterType(int n, int type);
    void setBackgroundImage(const QString &path);
    void layoutBoxes();
    QPoint storedBoxPos(int n) const;
    QPoint storedPipPos() const;
    bool backgroundShown() const;

    AppSettings *m_settings;
    QPointer<PreviewWin> m_preview;
    QPointer<QWidget> m_dialogParent;
    QString m_cameraKey;
    bool m_connected = false;
    FileDialog m_fileDialog;
    ColorDialog m_colorDialog;
    QHash<QString, QPointer<QMessageBox>> m_messages;
};
