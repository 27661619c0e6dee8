#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// What OBS has on program and, in studio mode, on preview, and the scene
// names it lists, read from obs-websocket 4.x messages without a socket:
// the replies to "GetSceneList" ("current-scene", "scenes"),
// "GetStudioModeStatus" ("studio-mode") and "GetPreviewScene" ("name"), and
// the events "SwitchScenes", "PreviewSceneChanged" ("scene-name") and
// "StudioModeSwitched" ("new-state"), whichever arrives first. Error replies
// must not be passed in. Names are cut at kMaxScenes.
class ObsScenes
{
public:
    static constexpr int kMaxScenes = 256;

    // Reads one message; true when program() or preview() changed.
    bool handle(const QJsonObject &message);
    // Forgets everything (the connection ended); true when program() or
    // preview() changed.
    bool clear();

    QString program() const { return m_program; }
    // The preview scene while studio mode is on; empty otherwise.
    QString preview() const { return m_studioMode ? m_preview : QString(); }
    bool studioMode() const { return m_studioMode; }
    QStringList names() const { return m_names; }

private:
    QString m_program;
    QString m_preview;
    bool m_studioMode = false;
    QStringList m_names;
};
