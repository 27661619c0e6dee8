#pragma once

#include <QProcess>

// The RTSP test server (rtspserver.py through the system Python) on
// ADDRESS:PORT (0: a free port, see port()) for the lifetime of the object;
// with keepPlaying it plays its streams to itself. start() returns an empty
// string when it serves, else why not ("BINDFAIL ..." when it cannot bind).
class RtspServerProcess
{
public:
    ~RtspServerProcess()
    {
        m_process.closeWriteChannel(); // the server ends when its input closes
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString start(const QString &address, const QStringList &streams, quint16 port = 554,
                  bool keepPlaying = false)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("/usr/bin/python3",
                        QStringList{RTSP_SERVER_SCRIPT} +
                            (keepPlaying ? QStringList{"--keep-playing"} : QStringList()) +
                            QStringList{address, QString::number(port)} + streams);
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(60000))
                return QStringLiteral("RTSP test server did not start");
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        m_port = line.startsWith("READY ") ? line.mid(6).toUShort() : 0;
        return m_port ? QString() : line;
    }
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};
