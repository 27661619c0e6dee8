#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The RTSP test server (rtspserver.py through the system Python) on
// ADDRESS:PORT (554 unless given; 0 takes a free port, see port()), for the
// lifetime of the object. start() returns an empty string when it serves,
// else why it does not (e.g. port 554 cannot be bound).
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

    // With keepPlaying the server plays its streams to itself (a client
    // joins a running stream, as with a real camera).
    QString start(const QString &address, const QStringList &streams, quint16 port = 554,
                  bool keepPlaying = false)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(
            QStringLiteral("/usr/bin/python3"),
            QStringList{QStringLiteral(RTSP_SERVER_SCRIPT)} +
                (keepPlaying ? QStringList{QStringLiteral("--keep-playing")} : QStringList()) +
                QStringList{address, QString::number(port)} + streams);
        if (!m_process.waitForStarted(30000))
            return QStringLiteral("cannot run /usr/bin/python3");
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000))
                return QStringLiteral("RTSP test server did not start");
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        if (line.startsWith(QLatin1String("READY "))) {
            m_port = line.mid(6).toUShort();
            return QString();
        }
        return QStringLiteral("RTSP test server on %1:%2: %3").arg(address).arg(port).arg(line);
    }
    // The port it listens on, once started.
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};
