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
        const QHostAddress address(a);
        QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
        QVERIFY(!address.isLoopback());
    }
    // Besides the interfaces: this computer only, selectable when stored.
    m_settings->setServerNic("127.0.0.1");
    WebServerSettings dialog(m_settings.get(), &m_control);
    auto *nic = dialog.findChild<QComboBox *>("nicCmb");
    QCOMPARE(nic->count(), list.size() + 1);
    QCOMPARE(nic->itemText(list.size()), QString("127.0.0.1"));
    QCOMPARE(nic->currentText(), QString("127.0.0.1"));
}

void TestWebServerSettings::accessKeyAndHostNames()
{
    WebServerSettings first(m_settings.get(), &m_control);
    const QString shown = first.findChild<QLineEdit *>("accessKeyEdit")->text();
    QVERIFY(QRegularExpression("^[A-Za-z0-9_-]{32}$").match(shown).hasMatch());
    // Saving with the key off writes no key: files stay as they were.
    first.findChild<QPushButton *>("saveBtn")->click();
    m_settings->sync();
    QFile file(m_settings->fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(!text.contains("accesskey"));
    QVERIFY(!text.contains("serverhostnames"));

    first.findChild<QCheckBox *>("requireKeyCheck")->setChecked(true);
    first.findChild<QLineEdit *>("hostNamesEdit")->setText(" panel.studio.lan, ,ptz-desk ");
    first.findChild<QPushButton *>("copyKeyBtn")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), shown);
    first.findChild<QPushButton *>("saveBtn")->click();
    QCOMPARE(m_settings->requireAccessKey(), true);
    QCOMPARE(m_settings->accessKey(), shown);
    QCOMPARE(AppSettings().serverHostNames(), (QStringList{"panel.studio.lan", "ptz-desk"}));

    // Reopened: the stored key; a new one replaces it only when saved.
    WebServerSettings second(m_settings.get(), &m_control);
    QCOMPARE(second.findChild<QLineEdit *>("accessKeyEdit")->text(), shown);
    QVERIFY(second.findChild<QCheckBox *>("requireKeyCheck")->isChecked());
    second.findChild<QPushButton *>("newKeyBtn")->click();
    const QString renewed = second.findChild<QLineEdit *>("accessKeyEdit")->text();
    QVERIFY(renewed != shown && renewed.size() == 32);
    QCOMPARE(m_settings->accessKey(), shown);
    second.findChild<QPushButton *>("saveBtn")->click();
    QCOMPARE(AppSettings().accessKey(), renewed);
}

void TestWebServerSettings::saveWritesThenRestartsInOrder_data()
{
    QTest::addColumn<bool>("obs");
    QTest::addColumn<bool>("vmix");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("both off") << false << false
                              << QStringList{"stopObs", "stopVMix", "stopHttp", "startHttp"};
    QTest::newRow("both on") << true << true << QStringList{"stopObs",   "stopVMix", "startObs",
                                                            "startVMix", "stopHttp", "startHttp"};
}

void TestWebServerSettings::saveWritesThenRestartsInOrder()
{
    QFETCH(bool, obs);
    QFETCH(bool, vmix);
    QFETCH(QStringList, calls);
    WebServerSettings dialog(m_settings.get(), &m_control);
    dialog.findChild<QLineEdit *>("portEdit")->setText("8123");
    dialog.findChild<QCheckBox *>("startServerUponLanchCheck")->setChecked(true);
    dialog.findChild<QCheckBox *>("enableOBSCtrlCheck")->setChecked(obs);
    dialog.findChild<QCheckBox *>("enableVMixCtrlCheck")->setChecked(vmix);
    dialog.findChild<QPushButton *>("saveBtn")->click();
    QCOMPARE(m_control.calls, calls);
    QCOMPARE(m_settings->serverPortNum(), 8123);
    QCOMPARE(m_settings->startupOnLaunch(), true);
    QCOMPARE(m_settings->enableObsCtrl(), obs);
    QCOMPARE(m_settings->enableVmixCtrl(), vmix);
    const QString nic = dialog.findChild<QComboBox *>("nicCmb")->currentText();
    QCOMPARE(m_settings->serverNic(), nic);
    QCOMPARE(dialog.findChild<QLabel *>("serverUrlLbl")->text(),
             "<a style = 'color:white' href='http://" + nic +
                 ":8123'>Click here to visit website</a>");
    // Saving twice restarts twice.
    dialog.findChild<QPushButton *>("saveBtn")->click();
    QCOMPARE(m_control.calls.count("startHttp"), 2);
}

void TestWebServerSettings::portAboveRangeRefused()
{
    WebServerSettings dialog(m_settings.get(), &m_control);
    dialog.findChild<QLineEdit *>("portEdit")->setText("70000");
    dialog.findChild<QPushButton *>("saveBtn")->click();
    QVERIFY(m_control.calls.isEmpty());
    QCOMPARE(m_settings->serverPortNum(), 8080); // not 70000 - 65536
    QVERIFY(!dialog.findChild<QLabel *>("errorLbl")->isHidden());
}

void TestWebServerSettings::copyUsesStoredAddress()
{
    m_settings->setServerNic("127.0.0.3");
    m_settings->setServerPortNum(9000);
    WebServerSettings dialog(m_settings.get(), &m_control);
    dialog.findChild<QLineEdit *>("portEdit")->setText("1234"); // not saved
    dialog.findChild<QPushButton *>("copyBtn")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("http://127.0.0.3:9000"));
}

QTEST_MAIN(TestWebServerSettings)
#include "tst_webserversettings.moc"
