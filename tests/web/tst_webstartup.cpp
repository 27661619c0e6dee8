#include "appsettings.h"
#include "corvantaapp.h"
#include "httpserverwrapper.h"
#include "obswrapper.h"
#include "rawhttpclient.h"
#include "storagepaths.h"
#include "vmixwrapper.h"

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port on 127.0.0.1 held by a plain listening socket.
int g_blockerFd = -1;
quint16 g_blockedPort = 0;
// The texts of the message boxes shown so far.
QStringList g_boxes;
const QString kMessage("Can not turn on Http Server. Please check NIC and port number settings.");

quint16 occupyPort()
{
    g_blockerFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(g_blockerFd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        ::listen(g_blockerFd, 1) != 0 ||
        ::getsockname(g_blockerFd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

// Runs inside the QApplication constructor: from then on every message box
// shown is recorded and closed, including the one shown during start-up.
void watchMessageBoxes()
{
    auto *timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (box && box->isVisible()) {
                g_boxes.append(box->text());
                box->done(QMessageBox::Ok);
            }
        }
    });
    timer->start();
}
Q_COREAPP_STARTUP_FUNCTION(watchMessageBoxes)

QJsonObject getJson(const QByteArray &target)
{
    return QJsonDocument::fromJson(fetch(g_blockedPort, target).body).object();
}

} // namespace

// CorvantaApp's web server start-up step and its start/stop operations, with
// `startuponlaunch` set and the configured port already taken.
class TestWebStartup : public QObject
{
    Q_OBJECT
private slots:
    void busyPortAtStartUpShowsTheBoxThenStarts();
};

// The box is shown without blocking start-up; once the port is free the
// server starts and its API routes reach the application's handlers.
void TestWebStartup::busyPortAtStartUpShowsTheBoxThenStarts()
{
    QTRY_COMPARE(g_boxes, QStringList{kMessage});
    CorvantaApp *app = CorvantaApp::instance();
    QVERIFY(!app->httpServer()->server()->isListening());
    QVERIFY(app->mainWindow());
    ::close(g_blockerFd);
    QVERIFY(app->startHttpServer());
    QCOMPARE(fetch(g_blockedPort, "/camera").status, 200);
    QCOMPARE(g_boxes.size(), 1);
    QCOMPARE(getJson("/cam/getCurrentCamInfo").value("camIndex").toInt(), -1);
    QCOMPARE(getJson("/obs/settings").value("obsPort").toInt(), 4444);
    QCOMPARE(getJson("/vmix/settings").value("vmixPort").toInt(), 8088);
    QVERIFY(!app->vmixClient()->isPolling()); // not enabled
    QVERIFY(!app->obsClient()->isPolling());
    QVERIFY(app->stopHttpServer());
    QVERIFY(!app->httpServer()->server()->isListening());
    // A port out of range is refused with the same box, not wrapped around.
    app->settings()->setServerPortNum(65536 + 80);
    QVERIFY(!app->startHttpServer());
    QTRY_COMPARE(g_boxes, (QStringList{kMessage, kMessage}));
}

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("QT_LOGGING_RULES", "corvanta.web.warning=false");
    g_blockedPort = occupyPort();
    const QString appData = home.path() + "/tst_webstartup/corvanta-controller";
    QDir().mkpath(appData);
    {
        QSettings raw(appData + "/settings.ini", QSettings::IniFormat);
        raw.setValue("startuponlaunch", true);
        raw.setValue("servernic", "127.0.0.1");
        raw.setValue("serverportnum", int(g_blockedPort));
    }
    CorvantaApp app(argc, argv);
    if (g_blockedPort == 0 || Storage::userFolder() != appData) {
        qCritical() << "no blocked port or unexpected data folder" << Storage::userFolder();
        return 1;
    }
    TestWebStartup tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_webstartup.moc"
