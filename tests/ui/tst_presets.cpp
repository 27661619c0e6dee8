// Presets of the main window against camera simulators on loopback: store and
// recall bytes, the name dialog, names and exposure in settings.ini,
// thumbnails, and the staged replay of stored exposure.

#include "panelharness.h"
#include "storagepaths.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>

using namespace PanelHarness;

class TestPresets : public PanelTest
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void widgetsAndTexts();
    void storeAsksForNameAndReturnsToRecall_data();
    void storeAsksForNameAndReturnsToRecall();
    void snapshotOnlyForPresetsOneToSix();
    void storeExposureKeepsPanelValues();
    void presetSpeedApply();
    void clearPresetResetsNameAndExposure();
    void clearImageStaysInDownloads();
    void nothingWithoutConnection();

private:
    // The exposure stored with preset n of camera 1, as settings.ini holds it:
    // AE mode, shutter, iris, bright, luminance, contrast, hue, white balance.
    QList<int> storedExposure(int n) const
    {
        QList<int> values;
        for (const char *key : {"aemode", "shutterspeed", "iris", "brightness", "luminance",
                                "contrast", "hue", "wbmode"})
            values << h.storedValue(QStringLiteral("%1_%2_").arg(cameraId(0)).arg(n) + key).toInt();
        return values;
    }
};

void TestPresets::initTestCase()
{
    QVERIFY(h.setUp());
}

void TestPresets::init()
{
    resetPanel();
}

void TestPresets::widgetsAndTexts()
{
    auto *set = child<QRadioButton>("presetMode");
    auto *recall = child<QRadioButton>("recallMode");
    QVERIFY(set && recall);
    QCOMPARE(set->text(), QStringLiteral("Set"));
    QCOMPARE(recall->text(), QStringLiteral("Recall"));
    QVERIFY(recall->isChecked());
    // Before any camera is selected: the numbers, and the plain style on 1-6.
    for (int n = 1; n <= 9; ++n) {
        auto *mem = child<QPushButton>(qPrintable(QStringLiteral("mem%1").arg(n)));
        QVERIFY(mem);
        QCOMPARE(mem->text(), QString::number(n));
        if (n <= 6)
            QCOMPARE(mem->styleSheet(), QStringLiteral("QPushButton{\n\theight : 40px;\n}"));
    }
    QCOMPARE(child<QCheckBox>("storeExposure")->text(),
             QStringLiteral("Store exposure settings with each PTZ preset"));
    auto *speed = child<QComboBox>("presetSpeed");
    QCOMPARE(speed->count(), 24);
    QCOMPARE(speed->itemText(0), QStringLiteral("1"));
    QCOMPARE(speed->itemText(23), QStringLiteral("24"));
    QCOMPARE(speed->currentIndex(), 0);
    QCOMPARE(child<QPushButton>("applyPresetSpeedBtn")->text(), QStringLiteral("Apply"));
}

void TestPresets::storeAsksForNameAndReturnsToRecall_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("entered");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cancelled keeps the old name") << false << QString() << "Podium";
    QTest::newRow("empty keeps the old name") << true << QString() << "Podium";
    QTest::newRow("entered name") << true << "Lectern"
                                  << "Lectern";
}

void TestPresets::storeAsksForNameAndReturnsToRecall()
{
    QFETCH(bool, accept);
    QFETCH(QString, entered);
    QFETCH(QString, expected);

    h.settings()->setPresetName(cameraId(0), 4, QStringLiteral("Podium"));
    h.connectCamera(0);
    auto *mem4 = child<QPushButton>("mem4");
    QCOMPARE(mem4->text(), QStringLiteral("Podium"));

    child<QRadioButton>("presetMode")->click();
    QVERIFY(w()->presetMode);
    NameDialogSeen seen;
    answerNameDialog(&seen, accept, entered);
    mem4->click();

    QVERIFY(seen.shown);
    QCOMPARE(seen.title, QStringLiteral("Corvanta"));
    QCOMPARE(seen.label, QStringLiteral("Preset #4 Name:"));
    QCOMPARE(seen.text, QStringLiteral("Podium"));
    QCOMPARE(mem4->text(), expected);
    QCOMPARE(h.storedValue("mem4" + cameraId(0)).toString(), expected);
    // The position is stored either way, and the window is back in recall mode.
    QTRY_VERIFY_WITH_TIMEOUT(h.cams[0].commands.contains(hex("8101043f0104ff")), kWait);
    QVERIFY(!w()->presetMode);
    QVERIFY(child<QRadioButton>("recallMode")->isChecked());
    QVERIFY(!child<QRadioButton>("presetMode")->isChecked());

    // The next click recalls.
    h.clearLogs();
    mem4->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands, QList<QByteArray>{hex("8101043f0204ff")}, kWait);
}

void TestPresets::snapshotOnlyForPresetsOneToSix()
{
    const QString thumb = Storage::snapshotPath(cameraId(0), 3);
    QFile::remove(thumb);
    h.connectCamera(0);
    auto *mem3 = child<QPushButton>("mem3");
    auto *mem8 = child<QPushButton>("mem8");
    QVERIFY(mem3->styleSheet().contains(thumb));
    QCOMPARE(mem3->styleSheet(),
             QStringLiteral("QPushButton{\n\theight : 40px;\n\timage : url('") + thumb + "');\n}");
    QVERIFY(!mem8->styleSheet().contains("image"));
    const QImage before = mem3->grab().toImage();
    QSignalSpy downloaded(w(), &MainWindow::cameraImageDownloaded);

    // Preset 8: position and name, no snapshot.
    child<QRadioButton>("presetMode")->click();
    NameDialogSeen seen8;
    answerNameDialog(&seen8, true, QStringLiteral("Eight"));
    mem8->click();
    QTRY_VERIFY_WITH_TIMEOUT(h.cams[0].commands.contains(hex("8101043f0108ff")), kWait);
    QCOMPARE(seen8.label, QStringLiteral("Preset #8 Name:"));
    QCOMPARE(h.storedValue("mem8" + cameraId(0)).toString(), QStringLiteral("Eight"));

    // Preset 3: a snapshot is requested and becomes the button's image.
    w()->imageDownloaded = false;
    child<QRadioButton>("presetMode")->click();
    NameDialogSeen seen3;
    answerNameDialog(&seen3, true, QStringLiteral("Three"));
    mem3->click();
    QTRY_VERIFY_WITH_TIMEOUT(h.cams[0].commands.contains(hex("8101043f0103ff")), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(downloaded.count(), 1, kWait);
    QCOMPARE(downloaded.at(0).at(0).toInt(), 3);
    // One snapshot in all: storing preset 8 requested none.
    QCOMPARE(h.cams[0].httpTargets.count("/snapshot.jpg"), 1);
    QVERIFY(QFile::exists(thumb));
    QVERIFY(w()->imageDownloaded);
    QCOMPARE(mem3->text(), QStringLiteral("Three"));
    QVERIFY(mem3->styleSheet().contains(thumb));
    QVERIFY2(mem3->grab().toImage() != before, "the button still shows no thumbnail");
}

void TestPresets::storeExposureKeepsPanelValues()
{
    h.connectCamera(0);
    child<QCheckBox>("storeExposure")->setChecked(true);
    child<QComboBox>("aeModeSelect")->setCurrentIndex(1);
    child<QComboBox>("shutterCombo")->setCurrentIndex(6);
    child<QComboBox>("irisCombo")->setCurrentIndex(5);
    child<QComboBox>("brightCombo")->setCurrentIndex(11);
    child<QSlider>("luminanceSlider")->setValue(9);
    child<QSlider>("contrastSlider")->setValue(4);
    child<QSlider>("hueSlider")->setValue(13);
    child<QComboBox>("wbCombo")->setCurrentIndex(2);

    child<QRadioButton>("presetMode")->click();
    NameDialogSeen seen;
    answerNameDialog(&seen, true, QStringLiteral("Stage left"));
    child<QPushButton>("mem7")->click();

    QCOMPARE(h.storedValue("mem7" + cameraId(0)).toString(), QStringLiteral("Stage left"));
    QCOMPARE(storedExposure(7), (QList<int>{1, 6, 5, 11, 9, 4, 13, 2}));
}

void TestPresets::presetSpeedApply()
{
    h.connectCamera(0);
    h.clearLogs();
    auto *speed = child<QComboBox>("presetSpeed");
    speed->setCurrentIndex(23);
    child<QPushButton>("applyPresetSpeedBtn")->click();
    speed->setCurrentIndex(0);
    child<QPushButton>("applyPresetSpeedBtn")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands,
                              (QList<QByteArray>{hex("8101060118ff"), hex("8101060101ff")}), kWait);
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].sim->presetSpeed(), 1, kWait);
}

void TestPresets::clearPresetResetsNameAndExposure()
{
    h.storeExposure(0, 2, {4, 5, 6, 7, 8, 9, 10, 3});
    h.settings()->setPresetName(cameraId(0), 2, QStringLiteral("Wide"));
    const QString thumb = Storage::snapshotPath(cameraId(0), 2);
    {
        QFile f(thumb);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    h.connectCamera(0);
    h.clearLogs();
    w()->presetSettingDlgClearPreset(2);
    w()->presetSettingDlgClearImage(2);
    QVERIFY(!QFile::exists(thumb));
    w()->presetSettingDlgClearImage(2); // a missing file is no error
    QTRY_COMPARE_WITH_TIMEOUT(h.cams[0].commands, QList<QByteArray>{hex("8101043f0002ff")}, kWait);
    QCOMPARE(h.storedValue("mem2" + cameraId(0)).toString(), QString());
    QCOMPARE(storedExposure(2), QVector<int>(8, 0).toList());
    // The button shows the cleared name at the next selection.
    w()->selectCamera(0);
    QCOMPARE(child<QPushButton>("mem2")->text(), QString());
}

void TestPresets::clearImageStaysInDownloads()
{
    // Where a plain concatenation of the id would lead.
    const QString victim =
        QDir::cleanPath(Storage::downloadsFolder() + "/snapshot_" + kEscapingId + "1.jpg");
    QVERIFY(!victim.startsWith(Storage::downloadsFolder()));
    // The folder the raw path runs through exists, so removing it would work.
    QVERIFY(QDir().mkpath(Storage::downloadsFolder() + "/snapshot_"));
    {
        QFile f(victim);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    w()->selectCamera(3);
    emit h.camera(3)->clientConnected();
    QVERIFY(w()->cameraConnected());
    w()->presetSettingDlgClearImage(1);
    QVERIFY(QFile::exists(victim));
    w()->onCameraDisconnected();
}

void TestPresets::nothingWithoutConnection()
{
    auto *set = child<QRadioButton>("presetMode");
    set->click();
    QVERIFY(!w()->presetMode); // the radio moves, the mode does not
    child<QPushButton>("mem1")->click();
    w()->onCallPreset(1);
    w()->presetSettingDlgSet(1, QStringLiteral("x"));
    child<QPushButton>("applyPresetSpeedBtn")->click();
    child<QRadioButton>("recallMode")->click();
    QTRY_VERIFY_WITH_TIMEOUT(h.allUnconnected(), kWait); // raw set-up connections close too
    for (const SimulatedCamera &c : h.cams)
        QVERIFY(c.commands.isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
}

PANEL_TEST_MAIN(TestPresets)
#include "tst_presets.moc"
