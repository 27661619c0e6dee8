// Presets of the main window over recording cameras: store and recall, the
// name dialog, names and exposure in settings.ini, thumbnails, clearing.

#include "recordingpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeySequence>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>

namespace {
// What a button shows of its text: "&&" is one "&", a single "&" only marks
// the next letter as the Alt shortcut.
QString shownText(const QString &text)
{
    QString shown;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&'))
                shown += text.at(++i);
            continue;
        }
        shown += text.at(i);
    }
    return shown;
}

const QString kId = QStringLiteral("127.0.1.1");
// An id that walks out of the downloads folder when it is made part of a
// thumbnail path.
const QString kEscapingId = QStringLiteral("/../../victim");
} // namespace

class TestPresets : public RecordingPanel
{
    Q_OBJECT
private slots:
    void init() { createPanel({kId, "127.0.1.2", kEscapingId}); }
    void cleanup() { destroyPanel(); }

    void storeAsksForNameAndReturnsToRecall_data();
    void storeAsksForNameAndReturnsToRecall();
    void snapshotOnlyForPresetsOneToSix();
    void storeExposureKeepsPanelValues();
    void presetSpeedApply();
    void clearPresetResetsNameAndExposure();
    void clearImageStaysInDownloads();
    void nothingWithoutConnection();
    void namesShowLiterally_data();
    void namesShowLiterally();

private:
    // The exposure stored with preset n of camera 1, as settings.ini holds it:
    // AE mode, shutter, iris, bright, luminance, contrast, hue, white balance.
    QList<int> storedExposure(int n) const
    {
        QList<int> values;
        for (const char *key : {"aemode", "shutterspeed", "iris", "brightness", "luminance",
                                "contrast", "hue", "wbmode"})
            values << storedValue(QStringLiteral("%1_%2_").arg(kId).arg(n) + key).toInt();
        return values;
    }
    // Stores preset n in set mode, answering the name dialog with `name`.
    void storeNamed(int n, const QString &name)
    {
        child<QRadioButton>("presetMode")->click();
        NameDialogSeen seen;
        answerNameDialog(&seen, true, name);
        child<QPushButton>(qPrintable(QStringLiteral("mem%1").arg(n)))->click();
    }
};

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

    s->setPresetName(kId, 4, QStringLiteral("Podium"));
    connectTo(0);
    auto *mem4 = child<QPushButton>("mem4");
    QCOMPARE(mem4->text(), QStringLiteral("Podium"));

    child<QRadioButton>("presetMode")->click();
    QVERIFY(w->presetMode);
    NameDialogSeen seen;
    answerNameDialog(&seen, accept, entered);
    mem4->click();

    QCOMPARE(seen.label, QStringLiteral("Preset #4 Name:"));
    QCOMPARE(seen.text, QStringLiteral("Podium"));
    QCOMPARE(mem4->text(), expected);
    QCOMPARE(storedValue("mem4" + kId).toString(), expected);
    // The position is stored either way, and the window is back in recall mode.
    QCOMPARE(cam()->calls, (QStringList{"downloadSnapshot(4)", "setPreset(4)"}));
    QVERIFY(!w->presetMode);
    QVERIFY(child<QRadioButton>("recallMode")->isChecked());

    cam()->calls.clear();
    mem4->click();
    QCOMPARE(cam()->calls, QStringList{"callPreset(4)"});
}

void TestPresets::snapshotOnlyForPresetsOneToSix()
{
    const QString thumb = Storage::snapshotPath(kId, 3);
    QFile::remove(thumb);
    connectTo(0);
    auto *mem3 = child<QPushButton>("mem3");
    const QImage before = mem3->grab().toImage();
    QSignalSpy downloaded(w, &MainWindow::cameraImageDownloaded);

    storeNamed(8, QStringLiteral("Eight"));
    QCOMPARE(cam()->calls, QStringList{"setPreset(8)"});
    QCOMPARE(storedValue("mem8" + kId).toString(), QStringLiteral("Eight"));

    cam()->calls.clear();
    storeNamed(3, QStringLiteral("Three"));
    QCOMPARE(cam()->calls, (QStringList{"downloadSnapshot(3)", "setPreset(3)"}));
    // The camera wrote the picture; it becomes the button's image.
    QVERIFY(QDir().mkpath(QFileInfo(thumb).absolutePath()));
    QImage picture(64, 36, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(thumb, "JPG"));
    emit cam()->clientFinishDownload(3);
    QTRY_COMPARE(downloaded.count(), 1);
    QCOMPARE(downloaded.at(0).at(0).toInt(), 3);
    QCOMPARE(mem3->text(), QStringLiteral("Three"));
    QVERIFY(mem3->styleSheet().contains(thumb));
    QVERIFY2(mem3->grab().toImage() != before, "the button still shows no thumbnail");
    QVERIFY(!child<QPushButton>("mem8")->styleSheet().contains("image"));
}

void TestPresets::storeExposureKeepsPanelValues()
{
    connectTo(0);
    child<QCheckBox>("storeExposure")->setChecked(true);
    child<QComboBox>("aeModeSelect")->setCurrentIndex(1);
    child<QComboBox>("shutterCombo")->setCurrentIndex(6);
    child<QComboBox>("irisCombo")->setCurrentIndex(5);
    child<QComboBox>("brightCombo")->setCurrentIndex(11);
    child<QSlider>("luminanceSlider")->setValue(9);
    child<QSlider>("contrastSlider")->setValue(4);
    child<QSlider>("hueSlider")->setValue(13);
    child<QComboBox>("wbCombo")->setCurrentIndex(2);
    storeNamed(7, QStringLiteral("Stage left"));
    QCOMPARE(storedValue("mem7" + kId).toString(), QStringLiteral("Stage left"));
    QCOMPARE(storedExposure(7), (QList<int>{1, 6, 5, 11, 9, 4, 13, 2}));
}

void TestPresets::presetSpeedApply()
{
    connectTo(0);
    auto *speed = child<QComboBox>("presetSpeed");
    speed->setCurrentIndex(23);
    child<QPushButton>("applyPresetSpeedBtn")->click();
    speed->setCurrentIndex(0);
    child<QPushButton>("applyPresetSpeedBtn")->click();
    QCOMPARE(cam()->calls, (QStringList{"setPresetSpeed(23)", "setPresetSpeed(0)"}));
}

void TestPresets::clearPresetResetsNameAndExposure()
{
    const PresetExposure e{4, 5, 6, 7, 8, 9, 10, 3};
    c->savePresetSettings(kId, 2, QStringLiteral("Wide"), &e);
    const QString thumb = Storage::snapshotPath(kId, 2);
    QVERIFY(QDir().mkpath(QFileInfo(thumb).absolutePath()));
    {
        QFile f(thumb);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    connectTo(0);
    w->presetSettingDlgClearPreset(2);
    w->presetSettingDlgClearImage(2);
    QVERIFY(!QFile::exists(thumb));
    w->presetSettingDlgClearImage(2); // a missing file is no error
    QCOMPARE(cam()->calls, QStringList{"clearPreset(2)"});
    QCOMPARE(storedValue("mem2" + kId).toString(), QString());
    QCOMPARE(storedExposure(2), QVector<int>(8, 0).toList());
    // The button shows the cleared name at the next selection.
    w->selectCamera(0);
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
    QVERIFY(QDir().mkpath(QFileInfo(victim).absolutePath()));
    {
        QFile f(victim);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    connectTo(2);
    w->presetSettingDlgClearImage(1);
    QVERIFY(QFile::exists(victim));
}

void TestPresets::nothingWithoutConnection()
{
    child<QRadioButton>("presetMode")->click();
    QVERIFY(!w->presetMode); // the radio moves, the mode does not
    child<QPushButton>("mem1")->click();
    w->onCallPreset(1);
    w->presetSettingDlgSet(1, QStringLiteral("x"));
    child<QPushButton>("applyPresetSpeedBtn")->click();
    child<QRadioButton>("recallMode")->click();
    for (int i = 0; i < c->cameraCount(); ++i)
        QCOMPARE(cam(i)->calls, QStringList());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestPresets::namesShowLiterally_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("ampersand") << QStringLiteral("Wide Shot & More");
    QTest::newRow("before a letter") << QStringLiteral("R&D");
    QTest::newRow("doubled") << QStringLiteral("A && B");
    QTest::newRow("trailing") << QStringLiteral("Stage &");
}

// A name with "&" shows that "&" and creates no Alt shortcut, whether it
// comes from settings, the web API or the name dialog; the name stored is the
// name given.
void TestPresets::namesShowLiterally()
{
    QFETCH(QString, name);
    s->setPresetName(kId, 1, name);
    connectTo(0);
    auto *mem1 = child<QPushButton>("mem1");
    auto *mem2 = child<QPushButton>("mem2");
    w->setMemoryButtonText(2, name); // the web API's path
    for (QPushButton *b : {mem1, mem2}) {
        QCOMPARE(shownText(b->text()), name);
        QVERIFY2(QKeySequence::mnemonic(b->text()).isEmpty(), qPrintable(b->text()));
    }

    // The name dialog offers the name itself, and stores what is entered.
    child<QRadioButton>("presetMode")->click();
    NameDialogSeen seen;
    answerNameDialog(&seen, true, QString());
    mem1->click();
    QCOMPARE(seen.text, name);
    QCOMPARE(storedValue("mem1" + kId).toString(), name);
    QCOMPARE(shownText(mem1->text()), name);

    // Camera buttons show camera names the same way.
    s->saveCameraSlots({{0, kId, name, QStringLiteral("0.0.0.0"), std::nullopt}});
    c->rebuildCameras();
    auto *camera1 = child<QPushButton>("connectCam1");
    QCOMPARE(shownText(camera1->text()), name.left(10));
    QVERIFY(QKeySequence::mnemonic(camera1->text()).isEmpty());
}

RECORDING_PANEL_MAIN(TestPresets)
#include "tst_presets.moc"
