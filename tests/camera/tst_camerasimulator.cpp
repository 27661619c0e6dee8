// The camera simulator seen from a raw VISCA client: replies, clamping,
// motion. Its setters, inquiry replies, presets, fault switches and HTTP
// answers are exercised end to end by tst_ipcamera, tst_presets,
// tst_browserpages and tst_previewpreset.

#include "camerasimulator.h"
#include "visca.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

using SimCheck = std::function<bool(const CameraSimulator &)>;
Q_DECLARE_METATYPE(SimCheck)

namespace {

constexpr int kWait = 5000;
const QByteArray kDone = QByteArray::fromHex("9041ff9051ff");
const QByteArray kError = QByteArray::fromHex("906002ff");

// The replies to `messages` (each ending in FF) when all are accepted commands.
QByteArray done(const QByteArray &messages)
{
    return kDone.repeated(messages.count(char(0xff)));
}

} // namespace

class TestCameraSimulator : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { m_client.reset(), m_sim.reset(); }
    void init()
    {
        m_sim = std::make_unique<CameraSimulator>();
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0, 0));
        m_client = std::make_unique<QTcpSocket>();
        m_client->connectToHost(QHostAddress::LocalHost, m_sim->viscaPort());
        QVERIFY(m_client->waitForConnected(kWait));
    }
    void messages_data()
    {
        QTest::addColumn<QByteArray>("messages");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<SimCheck>("check");
        using S = const CameraSimulator &;
        auto ok = [](const char *name, const QByteArray &m, SimCheck check) {
            QTest::newRow(name) << m << done(m) << check;
        };
        ok("iris clamped", Visca::setIris(0x1F), [](S s) { return s.iris() == 0x11; });
        ok("preset speed clamped", QByteArray::fromHex("8101060100ff"),
           [](S s) { return s.presetSpeed() == 1; });
        ok("down-left limit clamped", Visca::setDownLeftLimit(0xF000, 0xF670), [](S s) {
            return s.downLeftLimit().pan == -0x990 && s.downLeftLimit().tilt == s.kTiltMin;
        });
        const QByteArray on = Visca::tallyLamp(true), ask = Visca::tallyLampInquiry();
        const QByteArray off = QByteArray::fromHex("905003ff"),
                         lit = QByteArray::fromHex("905002ff");
        QTest::newRow("tally lamp") << ask + on + on + ask + Visca::tallyLamp(false) + ask
                                    << off + kDone + kDone + lit + kDone + off << SimCheck();
        for (const char *bad : {"81017e010a0004ff", "8101049902ff", "8101043804ff",
                                "8101060105050403ff", "81090002ff", "82010604ff", "8101043901ff"})
            QTest::newRow(bad) << QByteArray::fromHex(bad) << kError << SimCheck();
        QTest::newRow("oversized")
            << QByteArray::fromHex("8101") + QByteArray(40, 1) << kError << SimCheck();
    }
    void messages()
    {
        QFETCH(QByteArray, messages);
        QFETCH(QByteArray, reply);
        QFETCH(SimCheck, check);
        QCOMPARE(exchange(messages, reply.size()).toHex(' '), reply.toHex(' '));
        QVERIFY(!check || check(*m_sim));
        QCOMPARE(command(Visca::moveHome()), kDone); // the link still works
    }
    // Pan/tilt runs into the limits, zoom runs; the stops end all motion.
    void motion()
    {
        const QByteArray start =
            Visca::setUpRightLimit(0x0010, 0x0020) + Visca::moveUpRight(24, 20) + Visca::zoomIn(7);
        QCOMPARE(command(start), done(start));
        QVERIFY(m_sim->isMoving());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_sim->pan() == 0x20 && m_sim->tilt() == 0x10 && m_sim->zoom() > 100, kWait);
        const QByteArray stop = Visca::moveStop(0, 0) + Visca::zoomStop();
        QCOMPARE(command(stop), done(stop));
        QVERIFY(!m_sim->isMoving());
        const QList<int> stoppedAt{m_sim->pan(), m_sim->tilt(), m_sim->zoom(), m_sim->focus()};
        QTest::qWait(100); // nothing moves any more
        QCOMPARE((QList<int>{m_sim->pan(), m_sim->tilt(), m_sim->zoom(), m_sim->focus()}),
                 stoppedAt);
    }

private:
    // Writes `message`; returns the next `replyLength` bytes (fewer on timeout).
    QByteArray exchange(const QByteArray &message, int replyLength)
    {
        QSignalSpy ready(m_client.get(), &QTcpSocket::readyRead);
        m_client->write(message);
        QByteArray got;
        while (got.size() < replyLength && (m_client->bytesAvailable() || ready.wait(kWait)))
            got += m_client->read(replyLength - got.size());
        return got;
    }
    QByteArray command(const QByteArray &m) { return exchange(m, done(m).size()); }

    std::unique_ptr<CameraSimulator> m_sim;
    std::unique_ptr<QTcpSocket> m_client;
};

QTEST_MAIN(TestCameraSimulator)
#include "tst_camerasimulator.moc"
