#include "appsettings.h"
#include "corvantaapp.h"
#include "httpserverwrapper.h"
#include "mainwindow.h"
#include "obswrapper.h"
#include "rawhttpclient.h"
#include "storagepaths.h"
#include "vmixwrapper.h"

#include <QApplication>
#include <QDialog>
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

struct SeenBox
{
    QString title;
    QString text;
};
QList<SeenBox> g_boxes;

quint16 occupyPort()
{
    g_blockerFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (::bind(g_blockerFd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        ::listen(g_blockerFd, 1) != 0)
        return 0;
    socklen_t len = sizeof a;
    ::getsockname(g_blockerFd, reinterpret_cast<sockaddr *>(&a), &len);
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
            if (!box || !box->isVisible())
                continue;
            g_boxes.append({box->windowTitle(), box->text()});
            box->done(QMessageBox::Ok);
        }
    });
    timer->start();
}
Q_COREAPP_STARTUP_FUNCTION(watchMessageBoxes)

} // namespace

// CorvantaApp's web server start-up step and its start/stop operations, with
// `startuponlaunch` set and the configured port already taken.
class TestWebStartup : public QObject
{
    Q_OBJECT
private slots:
    void busyPortAtStartUpShowsTheBoxOnce();
    void startHttpServerAfterThePortIsFree();
    void webServerSettingsOpensFromTheMenu();
    void stopHttpServer();
    void startHttpServerFailureShowsTheBox();
    void portOutsideTheRangeIsAStartFailure_data();
    void portOutsideTheRangeIsAStartFailure();
};

static const char kMessage[] =
    "Can not turn on Http Server. Please check NIC and port number settings.";

void TestWebStartup::busyPortAtStartUpShowsTheBoxOnce()
{
    // Shown without blocking start-up.
    QTRY_COMPARE(g_boxes.size(), 1);
    QCOMPARE(g_boxes[0].title, QStringLiteral("Corvanta App"));
    QCOMPARE(g_boxes[0].text, QString::fromLatin1(kMessage));
    CorvantaApp *app = CorvantaApp::instance();
    QVERIFY(app->httpServer());
    QVERIFY(!app->httpServer()->server()->isListening());
    QVERIFY(app->mainWindow()); // start-up went on
}

void TestWebStartup::startHttpServerAfterThePortIsFree()
{
    ::close(g_blockerFd);
    CorvantaApp *app = CorvantaApp::instance();
    QVERIFY(app->startHttpServer());
    QCOMPARE(app->httpServer()->server()->serverPort(), g_blockedPort);
    const RawResponse r = fetch(g_blockedPort, "/camera");
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("Content-Type"), QByteArray("text/html"));
    QCOMPARE(g_boxes.size(), 1);

    // The API routes reach the application's handlers.
    const QJsonObject info =
        QJsonDocument::fromJson(fetch(g_blockedPort, "/cam/getCurrentCamInfo").body).object();
    QCOMPARE(info.value("camIndex").toInt(), -1);
    QCOMPARE(info.value("status").toString(), QString("OK"));
    const QJsonObject obs =
        QJsonDocument::fromJson(fetch(g_blockedPort, "/obs/settings").body).object();
    QCOMPARE(obs,
             (QJsonObject{{"obsIp", "0.0.0.0"}, {"obsPort", 4444}, {"status", "OK"}, {"msg", ""}}));
    const QJsonObject vmix =
        QJsonDocument::fromJson(fetch(g_blockedPort, "/vmix/settings").body).object();
    QCOMPARE(vmix.value("vmixPort").toInt(), 8088);
    QVERIFY(!app->vmixClient()->isPolling()); // not enabled
    QVERIFY(!app->obsClient()->isPolling());
}

void TestWebStartup::webServerSettingsOpensFromTheMenu()
{
    CorvantaApp *app = CorvantaApp::instance();
    app->mainWindow()->onWebServerSettingsClicked();
    QDialog *dialog = app->mainWindow()->findChild<QDialog *>("webserversettings");
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString("Web Server Setting"));
    dialog->close(); // deleted on close
}

void TestWebStartup::stopHttpServer()
{
    CorvantaApp *app = CorvantaApp::instance();
    QVERIFY(app->stopHttpServer());
    QVERIFY(!app->httpServer()->server()->isListening());
    QVERIFY(app->stopHttpServer()); // stopping twice is harmless
}

void TestWebStartup::startHttpServerFailureShowsTheBox()
{
    CorvantaApp *app = CorvantaApp::instance();
    app->settings()->setServerNic(QStringLiteral("not-an-address"));
    QVERIFY(!app->startHttpServer());
    QTRY_COMPARE(g_boxes.size(), 2);
    QCOMPARE(g_boxes[1].text, QString::fromLatin1(kMessage));
    QVERIFY(!app->httpServer()->server()->isListening());
}

void TestWebStartup::portOutsideTheRangeIsAStartFailure_data()
{
    QTest::addColumn<int>("port");
    QTest::newRow("0 (a random port)") << 0;
    QTest::newRow("above 65535") << 65536 + 80;
    QTest::newRow("negative") << -1;
}

void TestWebStartup::portOutsideTheRangeIsAStartFailure()
{
    QFETCH(int, port);
    CorvantaApp *app = CorvantaApp::instance();
    app->settings()->setServerNic(QStringLiteral("127.0.0.1"));
    app->settings()->setServerPortNum(port);
    const int boxes = g_boxes.size();
    QVERIFY(!app->startHttpServer());
    QTRY_COMPARE(g_boxes.size(), boxes + 1);
    QCOMPARE(g_boxes.last().text, QString::fromLatin1(kMessage));
    QVERIFY(!app->httpServer()->server()->isListening());
}

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    qputenv("QT_LOGGING_RULES", "corvanta.web.warning=false");
    g_blockedPort = occupyPort();
    if (g_blockedPort == 0)
        return 1;

    const QString appData = home.path() + "/tst_webstartup/corvanta-controller";
    QDir().mkpath(appData);
    {
        QSettings raw(appData + "/settings.ini", QSettings::IniFormat);
        raw.setValue("startuponlaunch", true);
        raw.setValue("servernic", "127.0.0.1");
        raw.setValue("serverportnum", int(g_blockedPort));
    }

    CorvantaApp app(argc, argv);
    if (Storage::userFolder() != appData) {
        qCritical() << "unexpected data folder" << Storage::userFolder();
        return 1;
    }
    TestWebStartup tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_webstartup.moc"
