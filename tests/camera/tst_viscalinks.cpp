// The UDP (VISCA over IP) and serial links against peers made here: a UDP
// socket on 127.0.0.x that checks headers and sequence numbers and answers
// late, twice, out of order or with a sequence error; a pseudo-terminal pair
// standing for a serial line with cameras at two addresses. Then IPCamera
// over both links against the camera simulator.

#include "camerasimulator.h"
#include "ipcamera.h"
#include "storagepaths.h"
#include "tempdatahome.h"
#include "visca.h"
#include "viscaserial.h"
#include "viscaudp.h"

#include <QImage>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kWait = 5000;
const QHostAddress kPeerHost(QStringLiteral("127.0.0.7"));

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A VISCA over IP camera played by the test: every datagram received is kept;
// answers are sent only when the test says so.
class FakeUdpCamera : public QObject
{
public:
    FakeUdpCamera()
    {
        QVERIFY(m_socket.bind(kPeerHost, 0));
        connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
            while (m_socket.hasPendingDatagrams())
                received.append((m_last = m_socket.receiveDatagram()).data());
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    // Answers under `sequence` with a header of `type`.
    void answer(quint16 type, quint32 sequence, const QByteArray &payload)
    {
        send(ViscaIp::encode(type, sequence, payload));
    }
    void send(const QByteArray &datagram)
    {
        m_socket.writeDatagram(datagram, m_last.senderAddress(), quint16(m_last.senderPort()));
    }

    QList<QByteArray> received;

private:
    QUdpSocket m_socket;
    QNetworkDatagram m_last;
};

QByteArrayList payloads(const QSignalSpy &spy)
{
    QByteArrayList out;
    for (const auto &args : spy)
        out << args.at(0).toByteArray();
    return out;
}

// A pseudo-terminal: the test holds the master end, the link opens the slave.
struct Pty
{
    int master = -1;
    int slave = -1;
    QString path;
    QByteArray in; // bytes the link wrote

    bool open()
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return false;
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        path = QString::fromLocal8Bit(name);
        return true;
    }
    // Reads what has arrived into `in`.
    const QByteArray &read()
    {
        char buffer[256];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            in.append(buffer, int(n));
        return in;
    }
    void write(const QByteArray &b) { QVERIFY(::write(master, b, b.size()) == b.size()); }
    // Closing -1 fails with EBADF, harmless.
    void closeAll() { ::close(slave), ::close(master), master = slave = -1; }
    ~Pty() { closeAll(); }
};

} // namespace

class TestViscaLinks : public QObject
{
    Q_OBJECT
private slots:
    void decodeRejects_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::newRow("header only") << hex("0111000000000001");
        QTest::newRow("length short") << hex("01110003000000019041ffff");
        QTest::newRow("length long") << hex("01110004000000019041ff");
        QTest::newRow("payload over 16")
            << hex("01110011000000010102030405060708090a0b0c0d0e0f1011");
        QTest::newRow("empty") << QByteArray();
    }
    void decodeRejects()
    {
        QFETCH(QByteArray, datagram);
        QVERIFY(!ViscaIp::decode(datagram));
    }

    void udpRetransmitsAttributesAndResets()
    {
        FakeUdpCamera peer;
        UdpViscaLink link;
        link.setRetransmitInterval(20);
        openUdp(link, peer);
        QSignalSpy received(&link, &ViscaLink::received);

        // Never answered: the original and two retransmissions, then given up.
        link.send(hex("81010604ff"));
        QTRY_COMPARE_WITH_TIMEOUT(link.pendingCount(), 0, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 3, kWait);
        for (const QByteArray &d : peer.received)
            QCOMPARE(d.toHex(), hex("010000050000000181010604ff").toHex());
        peer.received.clear();

        // The first copy's reply lost: the retransmission is answered, and its
        // acknowledgement and completion each passed on once.
        link.setRetransmitInterval(1000); // the retransmission's answer arrives in time
        link.send(hex("8101043f0201ff"));
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 2, kWait);
        QCOMPARE(peer.received.at(0), peer.received.at(1));
        QCOMPARE(peer.received.at(0).mid(4, 4).toHex(), QByteArray("00000002"));
        peer.answer(ViscaIp::Reply, 2, hex("9041ff"));
        peer.answer(ViscaIp::Reply, 2, hex("9041ff")); // the camera answers the copy too
        peer.answer(ViscaIp::Reply, 2, hex("9051ff"));
        QTRY_COMPARE_WITH_TIMEOUT(link.pendingCount(), 0, kWait);
        QCOMPARE(payloads(received), (QByteArrayList{hex("9041ff"), hex("9051ff")}));
        QVERIFY(link.state() == QAbstractSocket::ConnectedState);

        // Replies are attributed by sequence number, in whatever order.
        link.setRetransmitInterval(60000);
        received.clear();
        peer.received.clear();
        link.send(hex("8101060105050301ff")); // 3
        link.send(hex("81090447ff"));         // 4
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 2, kWait);
        peer.answer(ViscaIp::Reply, 4, hex("905000010203ff")); // the inquiry's answer first
        peer.answer(ViscaIp::Reply, 3, hex("9041ff"));
        peer.answer(ViscaIp::Reply, 9, hex("905009090909ff")); // nothing was sent as 9
        peer.answer(ViscaIp::Reply, 4, hex("905000010203ff")); // 4 is finished
        peer.answer(ViscaIp::Reply, 3, hex("9051ff"));
        peer.send(hex("0111000500000003")); // header without its payload
        QTRY_COMPARE_WITH_TIMEOUT(link.pendingCount(), 0, kWait);
        // The barrier: a last reply after every dropped one.
        link.send(hex("81010604ff")); // 5
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 3, kWait);
        peer.answer(ViscaIp::Reply, 5, hex("9061ff"));
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 4, kWait);
        QCOMPARE(payloads(received), (QByteArrayList{hex("905000010203ff"), hex("9041ff"),
                                                     hex("9051ff"), hex("9061ff")}));

        // Messages carry the command or inquiry type; a sequence error resets
        // the link and resends what is unanswered.
        peer.received.clear();
        link.send(hex("81010604ff"));         // 6, acknowledged: done as far as resending goes
        link.send(hex("8101060105050302ff")); // 7
        link.send(hex("81090612ff"));         // 8
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 3, kWait);
        QCOMPARE(peer.received.join().toHex(), hex("010000050000000681010604ff010000090000000781010"
                                                   "60105050302ff011000050000000881090612ff")
                                                   .toHex());
        peer.received.clear();
        peer.answer(ViscaIp::Reply, 6, hex("9041ff"));
        peer.answer(ViscaIp::ControlReply, 7, hex("0f01"));
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 1, kWait);
        QCOMPARE(peer.received.takeFirst().toHex(), hex("020000010000000001").toHex());
        QVERIFY(link.resetting());
        // Sent while the RESET is unanswered: held until it is.
        link.send(hex("8101060105050303ff"));
        QTest::qWait(0);
        QCOMPARE(peer.received.size(), 0);
        peer.answer(ViscaIp::ControlReply, 0, hex("01"));
        // The unanswered messages again, in order, then the held one, numbered anew.
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 3, kWait);
        QCOMPARE(peer.received.join().toHex(),
                 hex("01000009000000018101060105050302ff011000050000000281090612ff01000009000000038"
                     "101060105050303ff")
                     .toHex());
        QVERIFY(!link.resetting());
        QCOMPARE(link.state(), QAbstractSocket::ConnectedState);
        QSignalSpy disconnected(&link, &ViscaLink::disconnected);
        link.close();
        QCOMPARE(disconnected.size(), 1);
        QCOMPARE(link.state(), QAbstractSocket::UnconnectedState);
    }

    void serialFrames_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArrayList>("frames");
        QTest::newRow("two cameras")
            << hex("a041ff9051ff") << QByteArrayList{hex("a041ff"), hex("9051ff")};
        QTest::newRow("noise before") << hex("0012ff9041ff") << QByteArrayList{hex("9041ff")};
        QTest::newRow("too long dropped")
            << hex("90500102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1eff9041ff")
            << QByteArrayList{hex("9041ff")};
    }
    void serialFrames()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArrayList, frames);
        ViscaSerial::FrameSplitter splitter;
        QVector<QByteArray> got;
        for (char ch : input) // byte by byte: frames survive any split
            got += splitter.feed(QByteArray(1, ch));
        QCOMPARE(QByteArrayList(got.begin(), got.end()), frames);
        QCOMPARE(ViscaSerial::replyAddress(0xA0), 2);
        QCOMPARE(ViscaSerial::replyAddress(0xF0), 7);
        QCOMPARE(ViscaSerial::replyAddress(0x88), 0);
        QCOMPARE(ViscaSerial::replyAddress(0x91), -1);
        QCOMPARE(ViscaSerial::addressed(hex("81090447ff"), 5).toHex(), QByteArray("85090447ff"));
    }
    void serialTwoAddressesShareOnePort()
    {
        Pty pty;
        QVERIFY(pty.open());
        SerialViscaLink one(1, 9600), two(2, 9600);
        QSignalSpy oneConnected(&one, &ViscaLink::connected);
        QSignalSpy twoConnected(&two, &ViscaLink::connected);
        one.open(pty.path, 0);
        QCOMPARE(one.state(), QAbstractSocket::ConnectingState);
        two.open(pty.path + QStringLiteral("#2"), 0);
        QVERIFY(oneConnected.wait(kWait));
        QTRY_COMPARE_WITH_TIMEOUT(twoConnected.size(), 1, kWait);

        QSignalSpy oneGot(&one, &ViscaLink::received);
        QSignalSpy twoGot(&two, &ViscaLink::received);
        one.send(hex("81090447ff"));
        two.send(hex("81090447ff"));
        // One port: address set and IF_Clear once, then each message addressed.
        QTRY_COMPARE_WITH_TIMEOUT(pty.read().toHex(),
                                  QByteArray("883001ff88010001ff81090447ff82090447ff"), kWait);
        pty.write(hex("a050000a0b0cff905000010203ff883002ff"));
        QTRY_COMPARE_WITH_TIMEOUT(oneGot.size() + twoGot.size(), 2, kWait);
        QCOMPARE(payloads(oneGot), QByteArrayList{hex("905000010203ff")});
        QCOMPARE(payloads(twoGot), QByteArrayList{hex("9050000a0b0cff")});

        // Camera 1 lets go; the port stays open for camera 2.
        one.close();
        pty.in.clear();
        two.send(hex("8101060104ff"));
        QTRY_COMPARE_WITH_TIMEOUT(pty.read().toHex(), QByteArray("8201060104ff"), kWait);
        QCOMPARE(two.state(), QAbstractSocket::ConnectedState);
    }
    // The camera opens a path that the test points at one pseudo-terminal,
    // then, after that one vanished, at another: the retries find it.
    void serialVanishedPortDisconnectsAndReconnects()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ttyCAM"));
        auto pty = std::make_unique<Pty>();
        QVERIFY(pty->open() && QFile::link(pty->path, path));
        IPCamera cam(path, QStringLiteral("Cam"), path);
        CameraLinkConfig link;
        link.protocol = CameraLinkConfig::Serial;
        link.address = 2;
        cam.setLinkConfig(link);
        cam.setPollInterval(100000);
        cam.setAutoReconnect(true);
        cam.setReconnectBaseInterval(20);
        QSignalSpy connected(&cam, &CameraWrapper::clientConnected);
        QSignalSpy states(&cam, &CameraWrapper::clientStateChanged);
        QSignalSpy errors(&cam, &CameraWrapper::clientError);
        cam.connectCamera();
        for (int plugged = 1;; ++plugged) {
            QTRY_COMPARE_WITH_TIMEOUT(connected.size(), plugged, kWait);
            cam.moveHome();
            QTRY_COMPARE_WITH_TIMEOUT(pty->read().toHex(),
                                      QByteArray("883001ff88010001ff82010604ff"), kWait);
            if (plugged == 2)
                break;
            states.clear();
            pty->closeAll(); // unplugged
            QVERIFY(errors.wait(kWait));
            QCOMPARE(states.first().at(0).toString(), QStringLiteral("Unconnected"));
            QVERIFY(errors.at(0).at(0).toString().contains(path));
            pty = std::make_unique<Pty>();
            QVERIFY(pty->open() && QFile::remove(path) && QFile::link(pty->path, path));
        }
        QCOMPARE(errors.size(), 1);
        cam.disconnectCamera();
    }

    // IPCamera on UDP: commands and inquiries reach the simulator as the same
    // bytes as over TCP, and its answers fill the status. No HTTP side
    // channel: no device-name request. (Serial: see the unplug case.)
    void cameraOverSimulator()
    {
        const QHostAddress host(QStringLiteral("127.0.0.11"));
        CameraSimulator sim;
        QVERIFY(sim.listen(host, 0, 0) && sim.listenUdp(host, 0));
        CameraLinkConfig link;
        link.protocol = CameraLinkConfig::Udp;
        link.port = sim.udpPort();
        IPCamera cam(host.toString(), QStringLiteral("Cam"), host.toString());
        cam.setLinkConfig(link);
        cam.setPollInterval(100000);
        QSignalSpy connected(&cam, &CameraWrapper::clientConnected);
        QSignalSpy http(&sim, &CameraSimulator::httpRequestReceived);
        cam.connectCamera();
        QVERIFY(connected.wait(kWait));
        cam.moveUpLeft(7, 9);
        sim.setPosition(-300, 40, 0x1234, 5000);
        cam.queryPanTiltPos();
        QTRY_COMPARE_WITH_TIMEOUT(sim.receivedMessages().size(), 2, kWait);
        QCOMPARE(sim.receivedMessages(),
                 (QList<QByteArray>{Visca::moveUpLeft(7, 9), Visca::inquiry(Visca::PanTiltPos)}));
        QTRY_COMPARE_WITH_TIMEOUT(
            QByteArray(reinterpret_cast<const char *>(cam.status().panTiltPos), 8).toHex(),
            QByteArray("0f0e0d0400000208"), kWait);
        QCOMPARE(http.size(), 0);
    }

private:
    // An open UDP link whose RESET the fake answered.
    void openUdp(UdpViscaLink &link, FakeUdpCamera &peer)
    {
        QSignalSpy connected(&link, &ViscaLink::connected);
        link.open(kPeerHost.toString(), peer.port());
        QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), 1, kWait);
        QCOMPARE(peer.received.takeFirst().toHex(), hex("020000010000000001").toHex());
        QCOMPARE(link.state(), QAbstractSocket::ConnectingState);
        peer.answer(ViscaIp::ControlReply, 0, hex("01"));
        QVERIFY(connected.wait(kWait));
        QCOMPARE(link.state(), QAbstractSocket::ConnectedState);
    }
};

QTEST_GUILESS_MAIN(TestViscaLinks)
#include "tst_viscalinks.moc"
