// The "Tally Setting" dialog over a real settings file: the switchers' lists
// offered with free text accepted, custom messages checked before anything
// is written, and what a save stores.

#include "appsettings.h"
#include "tallysettingdlg.h"
#include "tempdatahome.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

class TestTallySettingDlg : public QObject
{
    Q_OBJECT
private slots:
    void badCustomBytesBlockTheSave_data();
    void badCustomBytesBlockTheSave();
    void saveStoresListedAndTypedNames();
};

void TestTallySettingDlg::badCustomBytesBlockTheSave_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<bool>("saved");
    QTest::newRow("custom, valid") << 2 << "81 01 04 00 02 FF" << true;
    QTest::newRow("custom, no terminator") << 2 << "81 01 04 00 02" << false;
    QTest::newRow("custom, too long") << 2 << "81" + QString(" 00").repeated(15) + " FF" << false;
    QTest::newRow("custom, empty sends nothing") << 2 << "" << true;
    QTest::newRow("lamp ignores the field") << 1 << "zz" << true;
}

void TestTallySettingDlg::badCustomBytesBlockTheSave()
{
    QFETCH(int, command);
    QFETCH(QString, bytes);
    QFETCH(bool, saved);
    AppSettings settings;
    settings.setTallySlot(3, TallySlotSetting{});
    TallySettingDlg dlg(&settings, {}, {}, {});
    QSignalSpy spy(&dlg, &TallySettingDlg::saved);
    dlg.findChild<QComboBox *>("command3")->setCurrentIndex(command);
    dlg.findChild<QLineEdit *>("previewBytes3")->setText(bytes);
    dlg.save();
    QCOMPARE(spy.count(), saved ? 1 : 0);
    QCOMPARE(settings.tallySlot(3).command, saved ? command : 0);
    if (!saved)
        QVERIFY(dlg.problem().startsWith("Camera 3, preview bytes"));
    else if (command == 2)
        QCOMPARE(settings.tallySlot(3).preview, bytes.toUpper());
}

void TestTallySettingDlg::saveStoresListedAndTypedNames()
{
    AppSettings settings;
    TallySlotSetting old;
    old.obs = "Old scene";
    settings.setTallySlot(1, old);
    TallySettingDlg dlg(&settings, {"Pulpit"}, {"Cam 1", "Cam 2"}, {"Intro", "Wide"});
    auto *obs1 = dlg.findChild<QComboBox *>("obsScene1");
    // The stored name shows even when OBS does not list it (offline).
    QCOMPARE(obs1->currentText(), QStringLiteral("Old scene"));
    QCOMPARE(obs1->findText("Cam 2"), 2);
    obs1->setCurrentIndex(obs1->findText("Cam 2"));
    dlg.findChild<QComboBox *>("vmixInput1")->setEditText(" 7 ");
    dlg.findChild<QComboBox *>("command1")->setCurrentIndex(2);
    dlg.findChild<QLineEdit *>("programBytes1")->setText("8101047e010a0002ff");
    dlg.findChild<QComboBox *>("protectLive")->setCurrentIndex(2);
    dlg.save();
    const TallySlotSetting t = settings.tallySlot(1);
    QCOMPARE(t.obs, QStringLiteral("Cam 2"));
    QCOMPARE(t.vmix, QStringLiteral("7"));
    QCOMPARE(t.program, QStringLiteral("81 01 04 7E 01 0A 00 02 FF"));
    QCOMPARE(settings.protectLive(), 2);
}

int main(int argc, char **argv)
{
    TempDataHome home;
    QApplication app(argc, argv);
    TestTallySettingDlg tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_tallysettingdlg.moc"
