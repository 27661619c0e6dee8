#include "obsscenes.h"

#include "obsprotocol.h"

#include <QJsonArray>

namespace {

// The string value of key, or nothing (a missing or non-text value).
bool textOf(const QJsonObject &m, const char *key, QString *out)
{
    const QJsonValue v = m.value(QLatin1String(key));
    if (!v.isString())
        return false;
    *out = v.toString();
    return true;
}

} // namespace

bool ObsScenes::handle(const QJsonObject &m)
{
    const QString program = this->program();
    const QString preview = this->preview();
    QString text;
    const QString event = m.value(QStringLiteral("update-type")).toString();
    if (!event.isEmpty() && !m.contains(QStringLiteral("message-id"))) {
        if (event == QLatin1String("SwitchScenes")) {
            if (textOf(m, "scene-name", &text))
                m_program = text;
        } else if (event == QLatin1String("PreviewSceneChanged")) {
            if (textOf(m, "scene-name", &text)) {
                m_preview = text;
                m_studioMode = true;
            }
        } else if (event == QLatin1String("StudioModeSwitched")) {
            m_studioMode = m.value(QStringLiteral("new-state")).toBool();
            if (!m_studioMode)
                m_preview.clear();
        }
    } else {
        switch (ObsProtocol::replyId(m)) {
        case ObsProtocol::GetSceneList: {
            if (textOf(m, "current-scene", &text))
                m_program = text;
            const QJsonValue scenes = m.value(QStringLiteral("scenes"));
            if (scenes.isArray()) {
                m_names.clear();
                for (const QJsonValue &scene : scenes.toArray()) {
                    const QJsonValue name = scene.toObject().value(QStringLiteral("name"));
                    if (name.isString() && m_names.size() < kMaxScenes)
                        m_names.append(name.toString());
                }
            }
            break;
        }
        case ObsProtocol::GetStudioModeStatus: {
            const QJsonValue on = m.value(QStringLiteral("studio-mode"));
            if (on.isBool()) {
                m_studioMode = on.toBool();
                if (!m_studioMode)
                    m_preview.clear();
            }
            break;
        }
        case ObsProtocol::GetPreviewScene:
            if (textOf(m, "name", &text)) {
                m_preview = text;
                m_studioMode = true;
            }
            break;
        default:
            break;
        }
    }
    return program != this->program() || preview != this->preview();
}

bool ObsScenes::clear()
{
    const bool changed = !program().isEmpty() || !preview().isEmpty();
    m_program.clear();
    m_preview.clear();
    m_studioMode = false;
    m_names.clear();
    return changed;
}
