// The web server settings dialog: what saving writes and restarts, in order.
#include "appsettings.h"
#include "tempdatahome.h"
#include "webserversettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QtTest>

namespace {

struct FakeControl : WebServerControl
{
    QStringList calls;
    bool startHttpServer() override { return calls << "startHttp", true; }
    bool stopHttpServer() override { return calls << "stopHttp", true; }
    bool startObsControl() override { return calls << "startObs", true; }
    bool stopObsControl() override { return calls << "stopObs", true; }
    bool startVMixControl() override { return calls << "startVMix", true; }
    bool stopVMixControl() override { return calls << "stopVMix", true; }
};

template <class T> T *child(QObject &dialog, const char *name)
{
    return dialog.findChild<T *>(name);
}

} // namespace

class TestWebServerSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { r.reset(new Rig); }
    void cleanup() { r.reset(); }
    void offersUpNonLoopbackIpv4Only();
    void saveWritesThenRestartsInOrder_data();
    void saveWritesThenRestartsInOrder();
    void accessKeyAndHostNames();

private:
    struct Rig
    {
        TempDataHome home;
        AppSettings settings;
        FakeControl control;
    };
    std::unique_ptr<Rig> r;
};

void TestWebServerSettings::offersUpNonLoopbackIpv4Only()
{
    const QStringList list =
        WebServerSettings::interfaceAddresses(QNetworkInterface::allInterfaces());
    for (const QString &a : list) {
        QCOMPARE(QHostAddress(a).protocol(), QAbstractSocket::IPv4Protocol);
        QVERIFY(!QHostAddress(a).isLoopback());
    }
    // Besides the interfaces: this computer only, selectable when stored.
    r->settings.setServerNic("127.0.0.1");
    WebServerSettings dialog(&r->settings, &r->control);
    auto *nic = child<QComboBox>(dialog, "nicCmb");
    QCOMPARE(nic->count(), list.size() + 1);
    QCOMPARE(nic->currentText(), QString("127.0.0.1"));
}

// Saved with the key off, no key or names are written (files stay as they
// were); on, the trimmed names and the key, kept when reopened.
void TestWebServerSettings::accessKeyAndHostNames()
{
    WebServerSettings dialog(&r->settings, &r->control);
    auto *key = child<QLineEdit>(dialog, "accessKeyEdit");
    const QString shown = key->text();
    QVERIFY(QRegularExpression("^[A-Za-z0-9_-]{32}$").match(shown).hasMatch());
    child<QPushButton>(dialog, "saveBtn")->click();
    r->settings.sync();
    QFile file(r->settings.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(!text.contains("accesskey") && !text.contains("serverhostnames"));

    child<QCheckBox>(dialog, "requireKeyCheck")->setChecked(true);
    child<QLineEdit>(dialog, "hostNamesEdit")->setText(" panel.studio.lan, ,ptz-desk ");
    child<QPushButton>(dialog, "newKeyBtn")->click();
    QVERIFY(key->text() != shown && r->settings.accessKey().isEmpty());
    child<QPushButton>(dialog, "saveBtn")->click();
    QCOMPARE(AppSettings().accessKey(), key->text());
    QVERIFY(r->settings.requireAccessKey());
    QCOMPARE(AppSettings().serverHostNames(), (QStringList{"panel.studio.lan", "ptz-desk"}));
    WebServerSettings reopened(&r->settings, &r->control);
    QCOMPARE(child<QLineEdit>(reopened, "accessKeyEdit")->text(), key->text());
}

void TestWebServerSettings::saveWritesThenRestartsInOrder_data()
{
    QTest::addColumn<bool>("on"); // OBS and vMix control
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("calls"); // none: refused, nothing written
    QTest::newRow("both off") << false << "8123"
                              << QStringList{"stopObs", "stopVMix", "stopHttp", "startHttp"};
    QTest::newRow("both on") << true << "8123" << QStringList{"stopObs",   "stopVMix", "startObs",
                                                              "startVMix", "stopHttp", "startHttp"};
    QTest::newRow("port above range") << true << "70000" << QStringList();
}

void TestWebServerSettings::saveWritesThenRestartsInOrder()
{
    QFETCH(bool, on);
    QFETCH(QString, port);
    QFETCH(QStringList, calls);
    WebServerSettings dialog(&r->settings, &r->control);
    child<QLineEdit>(dialog, "portEdit")->setText(port);
    child<QCheckBox>(dialog, "startServerUponLanchCheck")->setChecked(true);
    child<QCheckBox>(dialog, "enableOBSCtrlCheck")->setChecked(on);
    child<QCheckBox>(dialog, "enableVMixCtrlCheck")->setChecked(on);
    child<QPushButton>(dialog, "saveBtn")->click();
    QCOMPARE(r->control.calls, calls);
    const bool saved = !calls.isEmpty();
    QCOMPARE(child<QLabel>(dialog, "errorLbl")->isHidden(), saved);
    QCOMPARE(r->settings.serverPortNum(), saved ? 8123 : 8080); // not 70000 - 65536
    QCOMPARE(r->settings.startupOnLaunch(), saved);
    QCOMPARE(r->settings.enableObsCtrl(), on && saved);
    QCOMPARE(r->settings.enableVmixCtrl(), on && saved);
    if (saved)
        QCOMPARE(r->settings.serverNic(), child<QComboBox>(dialog, "nicCmb")->currentText());
}

QTEST_MAIN(TestWebServerSettings)
#include "tst_webserversettings.moc"
