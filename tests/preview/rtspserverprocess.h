#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The RTSP test server (rtspserver.py through the system Python) on
// ADDRESS:554, for the lifetime of the object. start() returns an empty string
// when it serves, else why it does not (e.g. port 554 cannot be bound).
class RtspServerProcess
{
public:
    ~RtspServerProcess()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel(); // the server ends when its input closes
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString start(const QString &address, const QStringList &streams)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(
            QStringLiteral("/usr/bin/python3"),
            QStringList{QStringLiteral(RTSP_SERVER_SCRIPT), address, QStringLiteral("554")} +
                streams);
        if (!m_process.waitForStarted(30000))
            return QStringLiteral("cannot run /usr/bin/python3");
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000))
                return QStringLiteral("RTSP test server did not start");
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        if (line == QLatin1String("READY"))
            return QString();
        return QStringLiteral("RTSP test server on %1:554: %2").arg(address, line);
    }

private:
    QProcess m_process;
};
