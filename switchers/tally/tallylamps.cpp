#include "tallylamps.h"

#include "cameracontrol.h"
#include "ipcamera.h"
#include "visca.h"

#include <QTcpSocket>
#include <QTimer>

// One kept VISCA connection of our own to a camera that is not selected.
class LampLink : public QObject
{
public:
    LampLink(int reconnectBaseMs, QObject *parent)
        : QObject(parent), m_socket(new QTcpSocket(this)), m_retry(new QTimer(this)),
          m_connectTimer(new QTimer(this)), m_baseMs(reconnectBaseMs)
    {
        m_retry->setSingleShot(true);
        m_connectTimer->setSingleShot(true);
        m_connectTimer->setInterval(TallyLamps::kConnectTimeoutMs);
        connect(m_socket, &QTcpSocket::connected, this, &LampLink::onConnected);
        connect(m_socket, &QTcpSocket::stateChanged, this, [this](QAbstractSocket::SocketState s) {
            if (s == QAbstractSocket::UnconnectedState)
                onUnconnected();
        });
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { m_socket->readAll(); });
        connect(m_retry, &QTimer::timeout, this, &LampLink::open);
        connect(m_connectTimer, &QTimer::timeout, this, [this] {
            qCDebug(lcTally) << "tally connection to" << m_host << "timed out";
            m_socket->abort();
        });
    }

    ~LampLink() override
    {
        m_socket->disconnect(this);
        m_socket->abort();
    }

    void setReconnectBase(int ms) { m_baseMs = ms; }
    bool isOpen() const { return m_kept; }

    // Sends message now when connected, else once connected.
    void send(const QString &host, quint16 port, const QByteArray &message)
    {
        if (m_kept && (host != m_host || port != m_port))
            close();
        m_host = host;
        m_port = port;
        m_message = message;
        m_kept = true;
        if (m_socket->state() == QAbstractSocket::ConnectedState)
            write();
        else if (m_socket->state() == QAbstractSocket::UnconnectedState && !m_retry->isActive())
            open();
    }

    void close()
    {
        m_kept = false;
        m_retry->stop();
        m_connectTimer->stop();
        m_retryCount = 0;
        m_socket->abort();
    }

private:
    void open()
    {
        if (!m_kept || m_socket->state() != QAbstractSocket::UnconnectedState)
            return;
        m_connectTimer->start();
        m_socket->connectToHost(m_host, m_port);
    }

    void write()
    {
        qCDebug(lcTally) << "tally to" << m_host << Visca::formatCommand(m_message);
        m_socket->write(m_message);
    }

    void onConnected()
    {
        m_connectTimer->stop();
        m_retryCount = 0;
        write();
    }

    void onUnconnected()
    {
        m_connectTimer->stop();
        if (!m_kept)
            return;
        // 1, 2, 4 ... base intervals, at most kMaxReconnectFactor of them.
        const int factor = qMin(1 << qMin(m_retryCount, 5), TallyLamps::kMaxReconnectFactor);
        ++m_retryCount;
        qCDebug(lcTally) << "tally connection to" << m_host << "lost:" << m_socket->errorString()
                         << "- retrying in" << factor * m_baseMs << "ms";
        m_retry->start(factor * m_baseMs);
    }

    QTcpSocket *m_socket;
    QTimer *m_retry;
    QTimer *m_connectTimer;
    QString m_host;
    quint16 m_port = 0;
    QByteArray m_message;
    bool m_kept = false;
    int m_retryCount = 0;
    int m_baseMs;
};

TallyLamps::TallyLamps(CameraControl *control, TallyModel *model, QObject *parent)
    : QObject(parent), m_control(control), m_model(model), m_commands(TallyModel::kSlots),
      m_links(TallyModel::kSlots, nullptr)
{
    connect(m_model, &TallyModel::slotStateChanged, this,
            [this](int slot, TallyModel::State) { sendState(slot); });
    // Also every reconnection of the selected camera.
    connect(m_control, &CameraControl::connected, this,
            [this] { sendState(m_control->currentIndex()); });
    connect(m_control, &CameraControl::aboutToReleaseCameras, this, &TallyLamps::closeAllLinks);
}

TallyLamps::~TallyLamps()
{
    closeAllLinks();
}

QByteArray TallyLamps::messageFor(const Command &command, TallyModel::State state)
{
    switch (command.mode) {
    case Lamp:
        return Visca::tallyLamp(state == TallyModel::Program);
    case Custom:
        return state == TallyModel::Program   ? command.program
               : state == TallyModel::Preview ? command.preview
                                              : command.off;
    default:
        return QByteArray();
    }
}

void TallyLamps::setCommand(int slot, const Command &command)
{
    if (slot < 0 || slot >= m_commands.size())
        return;
    Command &c = m_commands[slot];
    const bool changed = c.mode != command.mode || c.program != command.program ||
                         c.preview != command.preview || c.off != command.off;
    c = command;
    if (command.mode == Off)
        closeLink(slot);
    else if (changed)
        sendState(slot);
}

void TallyLamps::setReconnectBaseInterval(int ms)
{
    m_reconnectBaseMs = qMax(1, ms);
    for (LampLink *link : qAsConst(m_links)) {
        if (link)
            link->setReconnectBase(m_reconnectBaseMs);
    }
}

int TallyLamps::openLinks() const
{
    int n = 0;
    for (LampLink *link : m_links)
        n += link && link->isOpen() ? 1 : 0;
    return n;
}

void TallyLamps::sendState(int slot)
{
    if (slot < 0 || slot >= m_commands.size())
        return;
    const QByteArray message = messageFor(m_commands.at(slot), m_model->state(slot));
    if (message.isEmpty())
        return;
    CameraWrapper *camera = m_control->cameraAt(slot);
    if (!camera || camera->getCameraType() != CameraWrapper::NetworkCamera)
        return;
    if (slot == m_control->currentIndex()) {
        // The selected camera: through its connection, now or once the
        // layer reports it connected.
        if (m_control->canDrive() && camera->sendRawCommand(message)) {
            qCDebug(lcTally) << "tally to selected camera" << slot + 1
                             << Visca::formatCommand(message);
            closeLink(slot);
        }
        return;
    }
    auto *network = qobject_cast<IPCamera *>(camera);
    const QString host = camera->getCameraId().trimmed();
    if (!network || host.isEmpty() || host == QLatin1String("0.0.0.0"))
        return;
    if (!m_links.at(slot))
        m_links[slot] = new LampLink(m_reconnectBaseMs, this);
    m_links.at(slot)->send(host, network->viscaPort(), message);
}

void TallyLamps::closeLink(int slot)
{
    if (LampLink *link = m_links.value(slot))
        link->close();
}

void TallyLamps::closeAllLinks()
{
    for (int i = 0; i < m_links.size(); ++i)
        closeLink(i);
}
