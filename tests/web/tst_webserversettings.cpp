// The web server settings dialog: what saving writes and restarts, in order.
#include "appsettings.h"
#include "tempdatahome.h"
#include "webserversettings.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
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
    bool startHttpServer() override { return record("startHttp"); }
    bool stopHttpServer() override { return record("stopHttp"); }
    bool startObsControl() override { return record("startObs"); }
    bool stopObsControl() override { return record("stopObs"); }
    bool startVMixControl() override { return record("startVMix"); }
    bool stopVMixControl() override { return record("stopVMix"); }
    bool record(const char *what)
    {
        calls << what;
        return true;
    }
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
    void init()
    {
        m_home.reset(new TempDataHome);
        m_settings.reset(new AppSettings);
        m_control = FakeControl();
    }
    void cleanup()
    {
        m_settings.reset();
        m_home.reset();
    }
    void offersUpNonLoopbackIpv4Only();
    void saveWritesThenRestartsInOrder_data();
    void saveWritesThenRestartsInOrder();
    void portAboveRangeRefused();
    void copyUsesStoredAddress();
    void accessKeyAndHostNames();

private:
    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    FakeControl m_control;
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
    m_settings->setServerNic("127.0.0.1");
    WebServerSettings dialog(m_settings.get(), &m_control);
    auto *nic = child<QComboBox>(dialog, "nicCmb");
    QCOMPARE(nic->count(), list.size() + 1);
    QCOMPARE(nic->currentText(), QString("127.0.0.1"));
}

void TestWebServerSettings::accessKeyAndHostNames()
{
    WebServerSettings first(m_settings.get(), &m_control);
    const QString shown = child<QLineEdit>(first, "accessKeyEdit")->text();
    QVERIFY(QRegularExpression("^[A-Za-z0-9_-]{32}$").match(shown).hasMatch());
    // Saving with the key off writes no key: files stay as they were.
    child<QPushButton>(first, "saveBtn")->click();
    m_settings->sync();
    QFile file(m_settings->fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(!text.contains("accesskey") && !text.contains("serverhostnames"));

    child<QCheckBox>(first, "requireKeyCheck")->setChecked(true);
    child<QLineEdit>(first, "hostNamesEdit")->setText(" panel.studio.lan, ,ptz-desk ");
    child<QPushButton>(first, "copyKeyBtn")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), shown);
    child<QPushButton>(first, "saveBtn")->click();
    QCOMPARE(m_settings->requireAccessKey(), true);
    QCOMPARE(m_settings->accessKey(), shown);
    QCOMPARE(AppSettings().serverHostNames(), (QStringList{"panel.studio.lan", "ptz-desk"}));

    // Reopened: the stored key; a new one replaces it only when saved.
    WebServerSettings second(m_settings.get(), &m_control);
    QCOMPARE(child<QLineEdit>(second, "accessKeyEdit")->text(), shown);
    QVERIFY(child<QCheckBox>(second, "requireKeyCheck")->isChecked());
    child<QPushButton>(second, "newKeyBtn")->click();
    const QString renewed = child<QLineEdit>(second, "accessKeyEdit")->text();
    QVERIFY(renewed != shown && renewed.size() == 32);
    QCOMPARE(m_settings->accessKey(), shown);
    child<QPushButton>(second, "saveBtn")->click();
    QCOMPARE(AppSettings().accessKey(), renewed);
}

void TestWebServerSettings::saveWritesThenRestartsInOrder_data()
{
    QTest::addColumn<bool>("on"); // OBS and vMix control
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("both off") << false
                              << QStringList{"stopObs", "stopVMix", "stopHttp", "startHttp"};
    QTest::newRow("both on") << true << QStringList{"stopObs",   "stopVMix", "startObs",
                                                    "startVMix", "stopHttp", "startHttp"};
}

void TestWebServerSettings::saveWritesThenRestartsInOrder()
{
    QFETCH(bool, on);
    QFETCH(QStringList, calls);
    WebServerSettings dialog(m_settings.get(), &m_control);
    child<QLineEdit>(dialog, "portEdit")->setText("8123");
    child<QCheckBox>(dialog, "startServerUponLanchCheck")->setChecked(true);
    child<QCheckBox>(dialog, "enableOBSCtrlCheck")->setChecked(on);
    child<QCheckBox>(dialog, "enableVMixCtrlCheck")->setChecked(on);
    child<QPushButton>(dialog, "saveBtn")->click();
    QCOMPARE(m_control.calls, calls);
    QCOMPARE(m_settings->serverPortNum(), 8123);
    QCOMPARE(m_settings->startupOnLaunch(), true);
    QCOMPARE(m_settings->enableObsCtrl(), on);
    QCOMPARE(m_settings->enableVmixCtrl(), on);
    QCOMPARE(m_settings->serverNic(), child<QComboBox>(dialog, "nicCmb")->currentText());
    // Saving twice restarts twice.
    child<QPushButton>(dialog, "saveBtn")->click();
    QCOMPARE(m_control.calls.count("startHttp"), 2);
}

void TestWebServerSettings::portAboveRangeRefused()
{
    WebServerSettings dialog(m_settings.get(), &m_control);
    child<QLineEdit>(dialog, "portEdit")->setText("70000");
    child<QPushButton>(dialog, "saveBtn")->click();
    QVERIFY(m_control.calls.isEmpty());
    QCOMPARE(m_settings->serverPortNum(), 8080); // not 70000 - 65536
    QVERIFY(!child<QLabel>(dialog, "errorLbl")->isHidden());
}

void TestWebServerSettings::copyUsesStoredAddress()
{
    m_settings->setServerNic("127.0.0.3");
    m_settings->setServerPortNum(9000);
    WebServerSettings dialog(m_settings.get(), &m_control);
    child<QLineEdit>(dialog, "portEdit")->setText("1234"); // not saved
    child<QPushButton>(dialog, "copyBtn")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("http://127.0.0.3:9000"));
}

QTEST_MAIN(TestWebServerSettings)
#include "tst_webserversettings.moc"
