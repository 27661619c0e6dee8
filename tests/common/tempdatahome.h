#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

// Points XDG_DATA_HOME (and with it QStandardPaths::AppDataLocation) at a
// fresh temporary folder for the lifetime of the object, then restores it.
class TempDataHome
{
public:
    TempDataHome() : m_old(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_DATA_HOME", m_dir.path().toUtf8());
    }
    ~TempDataHome() { qputenv("XDG_DATA_HOME", m_old); }

    QString path() const { return m_dir.path(); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QByteArray m_old;
    QTemporaryDir m_dir;
};
