// Presets of the main window over recording cameras: store and recall, the
// name dialog, names and exposure in settings.ini, thumbnails, clearing, and
// the replay of the stored exposure.
#include "recordingpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QKeySequence>
#include <QRadioButton>
#include <QSlider>

namespace {
// What a button shows of its text: "&&" is one "&", a single "&" only marks
// the next letter as the Alt shortcut.
QString shownText(QString text)
{
    return text.replace(QRegularExpression("&(.?)"), "\\1");
}

const QString kId = QStringLiteral("127.0.1.1");
} // namespace

class TestPresets : public RecordingPanel
{
    Q_OBJECT
private slots:
    void init()
    {
        createPanel();
        s->setPresetName(kId, 4, QStringLiteral("Podium"));
    }
    void cleanup() { destroyPanel(); }

    void storeAsksForNameAndReturnsToRecall_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cancelled") << false << "x"
                                   << "Podium";
        QTest::newRow("empty") << true << ""
                               << "Podium";
        QTest::newRow("entered") << true << "Lectern"
                                 << "Lectern";
    }
    void storeAsksForNameAndReturnsToRecall()
    {
        QFETCH(bool, accept);
        QFETCH(QString, entered);
        QFETCH(QString, expected);
        connectTo(0);
        QCOMPARE(storeNamed(4, entered, accept), QStringLiteral("Podium"));
        QCOMPARE(child("mem4")->text(), expected);
        QCOMPARE(storedValue("mem4" + kId).toString(), expected);
        // The position is stored either way, and the window is back in recall mode.
        QCOMPARE(cam()->calls, (QStringList{"downloadSnapshot(4)", "setPreset(4)"}));
        QVERIFY(!w->presetMode && child<QRadioButton>("recallMode")->isChecked());
        cam()->calls.clear();
        child("mem4")->click();
        QCOMPARE(cam()->calls, QStringList{"callPreset(4)"});
    }
    // Presets above 6 have no snapshot.
    void storeExposureKeepsPanelValues()
    {
        connectTo(0);
        child<QCheckBox>("storeExposure")->setChecked(true);
        const QList<int> values{1, 6, 5, 11, 9, 4, 13, 2};
        int k = 0;
        for (const char *name : {"aeModeSelect", "shutterCombo", "irisCombo", "brightCombo"})
            child<QComboBox>(name)->setCurrentIndex(values[k++]);
        for (const char *name : {"luminanceSlider", "contrastSlider", "hueSlider"})
            child<QSlider>(name)->setValue(values[k++]);
        child<QComboBox>("wbCombo")->setCurrentIndex(values[k]);
        cam()->calls.clear();
        storeNamed(7, QStringLiteral("Stage left"));
        QCOMPARE(cam()->calls, QStringList{"setPreset(7)"});
        QList<int> stored;
        for (const char *key : {"aemode", "shutterspeed", "iris", "brightness", "luminance",
                                "contrast", "hue", "wbmode"})
            stored << storedValue(kId + "_7_" + key).toInt();
        QCOMPARE(stored, values);
    }
    void clearPresetAndImage()
    {
        const QString thumb = Storage::snapshotPath(kId, 2);
        QVERIFY(QDir().mkpath(QFileInfo(thumb).absolutePath()));
        QVERIFY(QFile(thumb).open(QIODevice::WriteOnly));
        connectTo(0);
        w->presetSettingDlgClearPreset(2);
        w->presetSettingDlgClearImage(2);
        QVERIFY(!QFile::exists(thumb));
        QCOMPARE(cam()->calls, QStringList{"clearPreset(2)"});
    }
    void nothingWithoutConnection()
    {
        child<QRadioButton>("presetMode")->click();
        QVERIFY(!w->presetMode); // the radio moves, the mode does not
        child("mem1")->click();  // no name dialog
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(cam()->calls, QStringList());
    }
    void namesShowLiterally_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("before a letter") << QStringLiteral("R&D");
        QTest::newRow("doubled") << QStringLiteral("A && B");
    }
    // A name with "&" shows that "&" and creates no Alt shortcut, whether it
    // comes from settings, the web API or the name dialog; the name stored is the
    // name given. Camera buttons show camera names the same way.
    void namesShowLiterally()
    {
        QFETCH(QString, name);
        s->setPresetName(kId, 1, name);
        connectTo(0);
        w->setMemoryButtonText(2, name); // the web API's path
        const auto literal = [&](const char *b) {
            QCOMPARE(shownText(child(b)->text()), name);
            QVERIFY2(QKeySequence::mnemonic(child(b)->text()).isEmpty(), b);
        };
        literal("mem2");
        QCOMPARE(storeNamed(1, QString()), name);
        QCOMPARE(storedValue("mem1" + kId).toString(), name);
        literal("mem1");
        s->saveCameraSlots({{0, kId, name, QStringLiteral("0.0.0.0"), std::nullopt}});
        c->rebuildCameras();
        literal("connectCam1");
    }

    void exposureReplay_data()
    {
        QTest::addColumn<QList<int>>("stored"); // AE, shutter, iris, bright, lum., contr., hue, WB
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("AAE: iris, no shutter or bright")
            << QList<int>{3, 5, 9, 4, 10, 3, 12, 2}
            << QStringList{"callPreset(3)",  "setAeMode(3)", "setIris(9)",  "setLuminance(10)",
                           "setContrast(3)", "setHue(12)",   "setWBMode(2)"};
        QTest::newRow("indices outside their lists are skipped")
            << QList<int>{9, 99, -1, 40, 10, 3, 12, 7}
            << QStringList{"callPreset(3)", "setLuminance(10)", "setContrast(3)", "setHue(12)"};
    }
    // The panel starts from AE auto, shutter 1/30, iris Close, sliders 7, WB
    // auto: a replayed stage that does not change its widget sends nothing.
    void exposureReplay()
    {
        QFETCH(QList<int>, stored);
        replayReady(stored);
        w->setExposureReplayInterval(0);
        child("mem3")->click();
        QTRY_COMPARE(c->runningReplays(), 0);
        QTEST(cam()->calls, "calls");
    }
    // The camera reopens a dropped socket by itself while the window keeps
    // its connected flag: the replay ends with the old connection.
    void replayEndsWhenTheConnectionIsReopened()
    {
        replayReady({1, 8, 4, 3, 2, 2, 2, 1});
        w->setExposureReplayInterval(60 * 1000);
        child("mem3")->click();
        QCOMPARE(c->runningReplays(), 1);
        emit cam()->clientStateChanged("Connecting");
        emit cam()->clientStateChanged("Connected");
        QVERIFY(w->cameraConnected());
        QCoreApplication::processEvents();
        QCOMPARE(c->runningReplays(), 0);
        QCOMPARE(cam()->calls, (QStringList{"callPreset(3)", "setAeMode(1)"}));
    }

private:
    // Exposure stored with preset 3, the camera connected, replay on.
    void replayReady(const QList<int> &v)
    {
        const PresetExposure e{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
        c->savePresetSettings(kId, 3, QString(), &e);
        cam()->status().luminance = cam()->status().contrast = cam()->status().hue = 7;
        connectTo(0);
        child<QCheckBox>("storeExposure")->setChecked(true);
    }
    // A key straight from settings.ini after pending writes reached it.
    QVariant storedValue(const QString &key) const
    {
        s->sync();
        return QSettings(s->fileName(), QSettings::IniFormat).value(key);
    }
    // Stores preset n in set mode, answering the name dialog with `name`
    // (rejecting it when `accept` is false); returns the text it offered.
    QString storeNamed(int n, const QString &name, bool accept = true)
    {
        child<QRadioButton>("presetMode")->click();
        QString offered;
        onNextModal<QInputDialog>([&](QInputDialog *dlg) {
            offered = dlg->textValue();
            dlg->setTextValue(name);
            accept ? dlg->accept() : dlg->reject();
        });
        child(qPrintable(QStringLiteral("mem%1").arg(n)))->click();
        return offered;
    }
};

QTEST_MAIN(TestPresets)
#include "tst_presets.moc"
