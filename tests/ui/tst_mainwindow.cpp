#include "appsettings.h"
#include "camerasimulator.h"
#include "camerawrapper.h"
#include "corvantaapp.h"
#include "helpwindows.h"
#include "ipcamera.h"
#include "mainwindow.h"
#include "storagepaths.h"
#include "storedcameralist.h"
#include "tempdatahome.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <limits>

// The control panel against two simulated network cameras on 127.0.0.1 and
// 127.0.0.2. One CorvantaApp (built in main() on a throw-away data folder whose
// camera list names those two addresses) holds the window; the cases run in
// declaration order and later ones build on the connection state of earlier
// ones where noted.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void startsCompactWithPlaceholderSpeedsAndNothingSelected();
    void movesWithoutConnectionSendNothing();
    void images_data();
    void images();
    void menus_data();
    void menus();
    void compactAndAdvancedViews();
    void statusBarToggle();
    void previewSwitches();
    void helpWindows();
    void cancelledSnapshotFolderStoresStart();
    void exitWritesPendingSettings();
    void fillSpeedCombo_data();
    void fillSpeedCombo();
    void panRangeFromZeroSelectsStoredIndex();
    void lockWithShortListsKeepsBothInRange();

    void connectingFillsSpeedsFromCamera();
    void lockClampsPanIndexTo19AndStoresIt();
    void tickingLockSelectsIndex6();
    void directionPressAndRelease_data();
    void directionPressAndRelease();
    void releasingHomeSendsNothing();
    void statusTexts_data();
    void statusTexts();
    void positionsFromTheCamera();
    void oneTimeCopyAfterConnect();
    void reselectingCurrentCameraConnectsAgain();
    void switchCameraFromController();
    void selectingAnotherCameraDisconnectsPrevious();
    void connectionOpensPreviewWhenLeftOpen();
    void configurationRebuildLeavesNoCameraSelected();
    void cameraListRebuiltElsewhereReleasesSelection();

private:
    MainWindow *window() const { return CorvantaApp::instance()->mainWindow(); }
    AppSettings *settings() const { return CorvantaApp::instance()->settings(); }
    CameraWrapper *camera(int i) const { return CorvantaApp::instance()->cameras().at(i); }
    template <typename T> T *child(const char *name) const
    {
        T *w = window()->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QString statusText(const char *name) const { return child<QLabel>(name)->text(); }
    void pointCamerasAtSimulators();
    bool selectAndWait(int index, CameraSimulator &sim);
    // Commands (not inquiries) the simulator received since the last clear.
    static QList<QByteArray> commands(const CameraSimulator &sim);
    static QByteArray bytes(const char *hex) { return QByteArray::fromHex(hex); }

    CameraSimulator m_sim1;
    CameraSimulator m_sim2;
    QTimer m_modalCloser;
    QStringList m_messages;
};

namespace {

// A camera type whose pan speeds start at 0; connecting is up to the test.
class RangeCamera : public CameraWrapper
{
public:
    RangeCamera() : CameraWrapper(NetworkCamera, "range-cam", "Range", "range")
    {
        panSpeedRange = {0, 24, 3};
        tiltSpeedRange = {1, 20, 5};
        zoomSpeedRange = {1, 7, 5};
        focusSpeedRange = {1, 7, 5};
    }
    void setRanges(const SpeedRange &pan, const SpeedRange &tilt)
    {
        panSpeedRange = pan;
        tiltSpeedRange = tilt;
    }
    // Makes this the window's camera and reports it connected.
    void connectTo(MainWindow *w)
    {
        connect(this, &CameraWrapper::clientConnected, w, &MainWindow::onCameraConnected);
        connect(this, &CameraWrapper::clientDisconnected, w, &MainWindow::onCameraDisconnected);
        w->currentCamera = this;
        emit clientConnected();
    }
};

QStringList comboTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

} // namespace

void TestMainWindow::initTestCase()
{
    QVERIFY2(m_sim1.listen(QHostAddress("127.0.0.1"), 0, 0), qPrintable(m_sim1.errorString()));
    QVERIFY2(m_sim2.listen(QHostAddress("127.0.0.2"), 0, 0), qPrintable(m_sim2.errorString()));
    pointCamerasAtSimulators();
    // Message boxes are modal: close each one and keep its text.
    connect(&m_modalCloser, &QTimer::timeout, this, [this] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_messages << box->text();
            box->done(QMessageBox::Ok);
        } else if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            m_messages << QStringLiteral("%1 %2 %3x%4")
                              .arg(dialog->metaObject()->className(), dialog->windowTitle())
                              .arg(dialog->width())
                              .arg(dialog->height());
            dialog->reject();
        }
    });
    m_modalCloser.start(20);
}

void TestMainWindow::cleanupTestCase()
{
    m_modalCloser.stop();
}

void TestMainWindow::pointCamerasAtSimulators()
{
    auto *cam1 = qobject_cast<IPCamera *>(camera(0));
    auto *cam2 = qobject_cast<IPCamera *>(camera(1));
    QVERIFY(cam1 && cam2);
    cam1->setViscaPort(m_sim1.viscaPort());
    cam1->setHttpPort(m_sim1.httpPort());
    cam2->setViscaPort(m_sim2.viscaPort());
    cam2->setHttpPort(m_sim2.httpPort());
    cam1->setPollInterval(10);
    cam2->setPollInterval(10);
}

bool TestMainWindow::selectAndWait(int index, CameraSimulator &sim)
{
    QSignalSpy accepted(&sim, &CameraSimulator::clientConnected);
    window()->selectCamera(index);
    if (sim.openConnections() == 0 && !accepted.wait(5000))
        return false;
    return QTest::qWaitFor([&] { return window()->cameraConnected; }, 5000) &&
           window()->currentCamera == camera(index);
}

QList<QByteArray> TestMainWindow::commands(const CameraSimulator &sim)
{
    QList<QByteArray> out;
    for (const QByteArray &m : sim.receivedMessages())
        if (!m.startsWith(QByteArray::fromHex("8109")))
            out << m;
    return out;
}

// --- Before any connection ---

void TestMainWindow::startsCompactWithPlaceholderSpeedsAndNothingSelected()
{
    MainWindow *w = window();
    QCOMPARE(w->windowTitle(), QStringLiteral("Corvanta App - v1.4.1"));
    for (const char *name : {"panSpeed", "tiltSpeed", "zoomSpeed", "focusSpeed"}) {
        QComboBox *combo = child<QComboBox>(name);
        QCOMPARE(comboTexts(combo), QStringList{"0"});
        QCOMPARE(combo->currentText(), QStringLiteral("0"));
    }
    QVERIFY(!w->currentCamera);
    QVERIFY(!w->cameraConnected);
    QCOMPARE(w->uiSyncState, 2);
    QVERIFY(w->previewClosed);
    QVERIFY(!w->isAdvancedView());
    QVERIFY(child<QWidget>("rightPanel")->isHidden());
    QVERIFY(!child<QWidget>("leftPanel")->isHidden());
    // First 10 characters of the names; unnamed slots count on.
    QCOMPARE(child<QPushButton>("connectCam1")->text(), QStringLiteral("Studio Lef"));
    QCOMPARE(child<QPushButton>("connectCam2")->text(), QStringLiteral("Stage"));
    QCOMPARE(child<QPushButton>("connectCam3")->text(), QStringLiteral("Camera3"));
    QCOMPARE(statusText("connectionStatus"), QStringLiteral("Disconnected"));
    QCOMPARE(statusText("deviceNameStatus"), QStringLiteral("Device Name"));
    QVERIFY(child<QLabel>("panStatus")->isHidden());
    QVERIFY(!child<QLabel>("deviceNameStatus")->isHidden());
}

void TestMainWindow::movesWithoutConnectionSendNothing()
{
    for (const char *name :
         {"MoveTop", "MoveLeft", "angleDownRight", "MoveHome", "ZoomIn", "focusIn"}) {
        QPushButton *b = child<QPushButton>(name);
        QTest::mousePress(b, Qt::LeftButton);
        QTest::mouseRelease(b, Qt::LeftButton);
    }
    window()->onSwitchCamera(0);
    window()->onSwitchCamera(9);
    QVERIFY(!window()->currentCamera);
    QCOMPARE(m_sim1.acceptedConnections(), 0);
    QCOMPARE(m_sim2.acceptedConnections(), 0);
    QVERIFY(m_sim1.receivedMessages().isEmpty());
}

void TestMainWindow::images_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    for (const char *sprite : {"uparrow.png", "downarrow.png", "leftarrow.png", "rightarrow.png",
                               "upleft.png", "upright.png", "downleftarrow.png", "downright.png",
                               "home.png", "plus.png", "minus.png", "focusin.png", "focusout.png"})
        QTest::newRow(sprite) << sprite << QSize(44, 132);
    QTest::newRow("tv.png") << "tv.png" << QSize(30, 90);
    QTest::newRow("xbox.png") << "xbox.png" << QSize(800, 720);
    QTest::newRow("hotkey.png") << "hotkey.png" << QSize(720, 540);
    QTest::newRow("corvanta1.png") << "corvanta1.png" << QSize();
}

void TestMainWindow::images()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    const QImage image(":/corvanta-assets/img/" + file);
    QVERIFY2(!image.isNull(), qPrintable(file));
    if (size.isValid())
        QCOMPARE(image.size(), size);
    // Every sprite is referenced by the window's style sheet.
    if (file != QLatin1String("xbox.png") && file != QLatin1String("hotkey.png") &&
        file != QLatin1String("corvanta1.png"))
        QVERIFY(window()->styleSheet().contains("url(:/corvanta-assets/img/" + file + ")"));
}

void TestMainWindow::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("checkable");

    QTest::newRow("settings")
        << "menuMenu"
        << "Settings"
        << QStringList{"actionMultiCameras", "actionJoyStick",         "actionPanTiltLimitSetting",
                       "actionSnapshotPath", "actionWebServerSetting", "actionPresetSetting",
                       "actionExit"}
        << QStringList{"Multi Cameras Setting",
                       "Additional Input Setting",
                       "Pan/Tilt Limit Setting",
                       "Snapshot Path",
                       "Web Server Setting",
                       "Preset Setting",
                       "Exit"}
        << QStringList{};
    QTest::newRow("view") << "menuView"
                          << "View"
                          << QStringList{"actionCompactMode", "actionAdvancedMode",
                                         "actionStatusBar"}
                          << QStringList{"Compact View", "Advanced View", "Status Bar"}
                          << QStringList{"actionStatusBar"};
    QTest::newRow("window") << "menuWindow"
                            << "Window"
                            << QStringList{"actionPreviewWindow", "actionBoundingBoxSetting"}
                            << QStringList{"Preview Window", "Image Preview Map"}
                            << QStringList{"actionPreviewWindow"};
    QTest::newRow("help") << "menuHelp"
                          << "Help"
                          << QStringList{"actionAboutUs", "actionXboxHelp", "actionHotKeyHelp",
                                         "actionHelp"}
                          << QStringList{"About Us", "XBox", "HotKey", "Help"} << QStringList{};
}

void TestMainWindow::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QStringList, actions);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, checkable);

    QMenuBar *bar = window()->menuBar();
    QStringList titles;
    for (QAction *a : bar->actions())
        titles << a->text();
    QCOMPARE(titles, (QStringList{"Settings", "View", "Window", "Help"}));

    QMenu *m = window()->findChild<QMenu *>(menu);
    QVERIFY(m);
    QCOMPARE(m->title(), title);
    QStringList names, shown;
    for (QAction *a : m->actions()) {
        names << a->objectName();
        shown << a->text();
        QCOMPARE(a->isCheckable(), checkable.contains(a->objectName()));
        if (a->isCheckable())
            QVERIFY(!a->isChecked());
    }
    QCOMPARE(names, actions);
    QCOMPARE(shown, texts);
}

void TestMainWindow::compactAndAdvancedViews()
{
    MainWindow *w = window();
    QWidget *right = child<QWidget>("rightPanel");
    QAction *compact = child<QAction>("actionCompactMode");
    QAction *advanced = child<QAction>("actionAdvancedMode");
    const QStringList positionLabels = {"panStatus",     "tiltStatus", "zoomStatus",  "focusStatus",
                                        "shutterStatus", "irisStatus", "brightStatus"};

    compact->trigger();
    compact->trigger();
    QVERIFY(right->isHidden());
    QVERIFY(!w->isAdvancedView());
    const int compactWidth = w->width();

    advanced->trigger();
    QVERIFY(!right->isHidden());
    QVERIFY(w->isAdvancedView());
    for (const QString &name : positionLabels)
        QVERIFY2(!child<QLabel>(name.toLatin1())->isHidden(), qPrintable(name));
    QVERIFY(!child<QLabel>("deviceNameStatus")->isHidden());
    QVERIFY(w->width() > compactWidth);
    const int advancedWidth = w->width();
    advanced->trigger();
    QVERIFY(!right->isHidden());

    compact->trigger();
    QVERIFY(right->isHidden());
    for (const QString &name : positionLabels)
        QVERIFY2(child<QLabel>(name.toLatin1())->isHidden(), qPrintable(name));
    QVERIFY(w->width() < advancedWidth);
}

void TestMainWindow::statusBarToggle()
{
    QAction *toggle = child<QAction>("actionStatusBar");
    QStatusBar *bar = window()->statusBar();
    QCOMPARE(bar->objectName(), QStringLiteral("statusBar"));
    QVERIFY(!bar->isHidden());
    QVERIFY(!toggle->isChecked());
    toggle->trigger(); // becomes checked: stays visible
    QVERIFY(toggle->isChecked());
    QVERIFY(!bar->isHidden());
    toggle->trigger();
    QVERIFY(bar->isHidden());
    toggle->trigger();
    QVERIFY(!bar->isHidden());
}

void TestMainWindow::previewSwitches()
{
    MainWindow *w = window();
    QAction *action = child<QAction>("actionPreviewWindow");
    QPushButton *tv = child<QPushButton>("tvBtn");
    QCOMPARE(tv->toolTip(), QStringLiteral("Preview Window"));
    QVERIFY(!action->isChecked());

    action->trigger();
    QVERIFY(!w->previewClosed);
    QWidget *preview = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->windowTitle() == QLatin1String("Preview") && top->isVisible())
            preview = top;
    QVERIFY(preview);

    action->trigger(); // unchecked: closed
    QVERIFY(!preview->isVisible());
    QVERIFY(w->previewClosed);

    tv->click(); // opens and checks the action
    QVERIFY(preview->isVisible());
    QVERIFY(action->isChecked());
    QVERIFY(!w->previewClosed);
    tv->click(); // already open: nothing
    QVERIFY(action->isChecked());

    preview->close(); // the operator closes it
    QVERIFY(!action->isChecked());
    QVERIFY(w->previewClosed);

    // The image preview map is reachable from the Window menu.
    child<QAction>("actionBoundingBoxSetting")->trigger();
    bool mapShown = false;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->windowTitle() == QLatin1String("Image Preview Map") && top->isVisible()) {
            mapShown = true;
            top->close();
        }
    QVERIFY(mapShown);
}

void TestMainWindow::helpWindows()
{
    m_messages.clear();
    child<QAction>("actionXboxHelp")->trigger();
    child<QAction>("actionXboxHelp")->trigger();
    child<QAction>("actionHotKeyHelp")->trigger();
    child<QAction>("actionAboutUs")->trigger();
    QCOMPARE(m_messages, (QStringList{"XBoxHelp Xbox Help 818x738", "XBoxHelp Xbox Help 818x738",
                                      "HotkeyHelp Hotkey Help 738x558", "AboutUs About 826x327"}));

    // The help window is not modal and stays open beside the panel.
    child<QAction>("actionHelp")->trigger();
    QWidget *help = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->inherits("HelpWin"))
            help = top;
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QVERIFY(!help->isModal());
    QCOMPARE(help->windowTitle(), QStringLiteral("Help"));
    QVERIFY(!QApplication::activeModalWidget());

    // Its two links lead to sections of the project's README.
    const QString text = help->findChild<QLabel *>("label")->text();
    QFile readme(HelpWin::readmeUrl(QString()).toLocalFile());
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString markdown = QString::fromUtf8(readme.readAll());
    const QList<QPair<QString, QString>> sections = {
        {"getting-a-cameras-address", "\n## Getting a camera's address\n"},
        {"asking-for-help", "\n## Asking for help\n"}};
    for (const auto &section : sections) {
        QVERIFY2(text.contains(HelpWin::readmeUrl(section.first).toString(QUrl::FullyEncoded)),
                 qPrintable(section.first));
        QVERIFY2(markdown.contains(section.second), qPrintable(section.second));
    }
    help->close();
}

void TestMainWindow::cancelledSnapshotFolderStoresStart()
{
    settings()->setSnapshotPath(QString());
    m_messages.clear();
    child<QAction>("actionSnapshotPath")->trigger();
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().startsWith("QFileDialog Choose a path to save snapshot"),
             qPrintable(m_messages.first()));
    QCOMPARE(settings()->snapshotPath(), Storage::downloadsFolder());

    settings()->setSnapshotPath("/srv/stills");
    child<QAction>("actionSnapshotPath")->trigger();
    QCOMPARE(settings()->snapshotPath(), QStringLiteral("/srv/stills"));
}

// "Exit" ends the process at once; what the settings store still holds in its
// deferred write-back reaches the file first. Runs this executable again as a
// child process (see main()).
void TestMainWindow::exitWritesPendingSettings()
{
    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--exit-child"});
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QVERIFY2(!child.readAllStandardOutput().contains("not exited"), "Exit returned");
    QSettings written(home.path() + "/tst_mainwindow/corvanta-controller/settings.ini",
                      QSettings::IniFormat);
    QCOMPARE(written.value("snapshotpath").toString(), QStringLiteral("/pending/path"));
}

void TestMainWindow::fillSpeedCombo_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("current");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("selected");

    QTest::newRow("no range") << 0 << 0 << 0 << QStringList{"0"} << "0";
    QTest::newRow("zero minimum starts at 1")
        << 0 << 4 << 2 << QStringList{"1", "2", "3", "4"} << "2";
    QTest::newRow("network zoom") << 1 << 7 << 5 << QStringList{"1", "2", "3", "4", "5", "6", "7"}
                                  << "5";
    QTest::newRow("current outside") << 2 << 4 << 9 << QStringList{"2", "3", "4"} << "";
    QTest::newRow("minimum above maximum") << 5 << 3 << 4 << QStringList{} << "";
    QStringList capped;
    for (int i = 1; i <= 256; ++i)
        capped << QString::number(i);
    QTest::newRow("endless range is capped")
        << 1 << std::numeric_limits<int>::max() << 5 << capped << "5";
}

void TestMainWindow::fillSpeedCombo()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, current);
    QFETCH(QStringList, texts);
    QFETCH(QString, selected);
    QComboBox combo;
    combo.addItem("stale");
    MainWindow::fillSpeedCombo(&combo, {min, max, current});
    QCOMPARE(comboTexts(&combo), texts);
    QCOMPARE(combo.currentText(), selected);
}

void TestMainWindow::panRangeFromZeroSelectsStoredIndex()
{
    MainWindow *w = window();
    RangeCamera cam;
    settings()->setPanSpeedIndex("range-cam", 7);
    settings()->setTiltSpeedIndex("range-cam", 7);
    settings()->setPanTiltLocked("range-cam", false);
    cam.connectTo(w);

    QComboBox *pan = child<QComboBox>("panSpeed");
    QStringList expected;
    for (int i = 1; i <= 24; ++i)
        expected << QString::number(i);
    QCOMPARE(comboTexts(pan), expected);
    QCOMPARE(pan->currentIndex(), 7);
    QCOMPARE(pan->currentText(), QStringLiteral("8"));
    QCOMPARE(settings()->panSpeedIndex("range-cam"), 7);

    emit cam.clientDisconnected();
    QVERIFY(!w->currentCamera);
    QVERIFY(!w->cameraConnected);
}

void TestMainWindow::lockWithShortListsKeepsBothInRange()
{
    MainWindow *w = window();
    RangeCamera cam;
    cam.setRanges({1, 4, 2}, {1, 12, 5});
    settings()->setPanTiltLocked("range-cam", true);
    settings()->setPanSpeedIndex("range-cam", 2);
    settings()->setTiltSpeedIndex("range-cam", 9);
    cam.connectTo(w);

    QComboBox *pan = child<QComboBox>("panSpeed");
    QComboBox *tilt = child<QComboBox>("tiltSpeed");
    // The stored tilt index 9 does not exist in the four-entry pan list.
    QCOMPARE(pan->currentIndex(), 3);
    QCOMPARE(tilt->currentIndex(), 3);
    tilt->setCurrentIndex(10);
    QCOMPARE(pan->currentIndex(), 3);
    QCOMPARE(tilt->currentIndex(), 3);
    QCOMPARE(settings()->tiltSpeedIndex("range-cam"), 3);
    child<QCheckBox>("panTiltLock")->click(); // off
    child<QCheckBox>("panTiltLock")->click(); // on: index 6 is beyond the pan list
    QCOMPARE(pan->currentIndex(), 3);
    QCOMPARE(tilt->currentIndex(), 3);
    QCOMPARE(pan->currentText(), QStringLiteral("4"));

    emit cam.clientDisconnected();
    QVERIFY(!w->currentCamera);
}

// --- Connected to the simulator on 127.0.0.1 ---

void TestMainWindow::connectingFillsSpeedsFromCamera()
{
    settings()->setPanSpeedIndex("127.0.0.1", 9);
    settings()->setTiltSpeedIndex("127.0.0.1", 3);
    settings()->setPanTiltLocked("127.0.0.1", false);
    QVERIFY(selectAndWait(0, m_sim1));
    MainWindow *w = window();
    QCOMPARE(comboTexts(child<QComboBox>("panSpeed")).size(), 24);
    QCOMPARE(comboTexts(child<QComboBox>("tiltSpeed")).size(), 20);
    QCOMPARE(comboTexts(child<QComboBox>("zoomSpeed")).size(), 7);
    QCOMPARE(child<QComboBox>("panSpeed")->currentText(), QStringLiteral("10"));
    QCOMPARE(child<QComboBox>("tiltSpeed")->currentText(), QStringLiteral("4"));
    QCOMPARE(child<QComboBox>("zoomSpeed")->currentIndex(), 5); // default index
    QVERIFY(!child<QCheckBox>("panTiltLock")->isChecked());
    QCOMPARE(statusText("connectionStatus"), QStringLiteral("Connected"));
    QVERIFY(!child<QPushButton>("focusIn")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(statusText("deviceNameStatus"), m_sim1.name(), 5000);
    QCOMPARE(statusText("serialNumberStatus"), m_sim1.serialNumber());
    QVERIFY(w->cameraConnected);
}

void TestMainWindow::lockClampsPanIndexTo19AndStoresIt()
{
    QCheckBox *lock = child<QCheckBox>("panTiltLock");
    QComboBox *pan = child<QComboBox>("panSpeed");
    QComboBox *tilt = child<QComboBox>("tiltSpeed");
    lock->setChecked(true);
    QVERIFY(settings()->panTiltLocked("127.0.0.1"));
    pan->setCurrentIndex(22);
    QCOMPARE(pan->currentIndex(), 19);
    QCOMPARE(tilt->currentIndex(), 19);
    QCOMPARE(settings()->panSpeedIndex("127.0.0.1"), 19);
    QCOMPARE(settings()->tiltSpeedIndex("127.0.0.1"), 19);

    // The speed on the wire is the list text: index 19 is "20" (0x14).
    m_sim1.clearLog();
    QSignalSpy spy(&m_sim1, &CameraSimulator::commandReceived);
    QTest::mousePress(child<QPushButton>("MoveTop"), Qt::LeftButton);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.first().first().toByteArray(), bytes("8101060100140301ff"));
    QTest::mouseRelease(child<QPushButton>("MoveTop"), Qt::LeftButton);
    QTRY_COMPARE(spy.size(), 2);
}

void TestMainWindow::tickingLockSelectsIndex6()
{
    QCheckBox *lock = child<QCheckBox>("panTiltLock");
    QComboBox *pan = child<QComboBox>("panSpeed");
    QComboBox *tilt = child<QComboBox>("tiltSpeed");
    lock->click(); // off
    QVERIFY(!lock->isChecked());
    QVERIFY(!settings()->panTiltLocked("127.0.0.1"));
    pan->setCurrentIndex(2);
    tilt->setCurrentIndex(11);
    QCOMPARE(pan->currentIndex(), 2); // unlocked: independent
    lock->click();                    // on
    QCOMPARE(pan->currentIndex(), 6);
    QCOMPARE(tilt->currentIndex(), 6);
    QVERIFY(settings()->panTiltLocked("127.0.0.1"));
    QCOMPARE(settings()->panSpeedIndex("127.0.0.1"), 6);
    QCOMPARE(settings()->tiltSpeedIndex("127.0.0.1"), 6);

    // Leave pan "10", tilt "4", unlocked for the cases below.
    lock->click();
    pan->setCurrentIndex(9);
    tilt->setCurrentIndex(3);
}

void TestMainWindow::directionPressAndRelease_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("press");
    // Pan speed "10" (0A), tilt speed "4" (04).
    QTest::newRow("up") << "MoveTop" << bytes("8101060100040301ff");
    QTest::newRow("down") << "MoveBottom" << bytes("8101060100040302ff");
    QTest::newRow("left") << "MoveLeft" << bytes("810106010a000103ff");
    QTest::newRow("right") << "MoveRight" << bytes("810106010a000203ff");
    QTest::newRow("up-left") << "angleUpLeft" << bytes("810106010a040101ff");
    QTest::newRow("up-right") << "angleUpRight" << bytes("810106010a040201ff");
    QTest::newRow("down-left") << "angleDownLeft" << bytes("810106010a040102ff");
    QTest::newRow("down-right") << "angleDownRight" << bytes("810106010a040202ff");
}

void TestMainWindow::directionPressAndRelease()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, press);
    QVERIFY(window()->cameraConnected);
    QPushButton *b = child<QPushButton>(button.toLatin1());
    QSignalSpy spy(&m_sim1, &CameraSimulator::commandReceived);
    QTest::mousePress(b, Qt::LeftButton);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.last().first().toByteArray(), press);
    QTest::mouseRelease(b, Qt::LeftButton);
    QTRY_COMPARE(spy.size(), 2);
    QCOMPARE(spy.last().first().toByteArray(), bytes("8101060100000303ff"));
}

void TestMainWindow::releasingHomeSendsNothing()
{
    QSignalSpy spy(&m_sim1, &CameraSimulator::commandReceived);
    QPushButton *home = child<QPushButton>("MoveHome");
    QPushButton *zoomIn = child<QPushButton>("ZoomIn");
    QTest::mousePress(home, Qt::LeftButton);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.last().first().toByteArray(), bytes("81010604ff"));
    QTest::mouseRelease(home, Qt::LeftButton);
    // The next command on the wire is the zoom that follows: the release of
    // home sent nothing in between.
    QTest::mousePress(zoomIn, Qt::LeftButton);
    QTRY_COMPARE(spy.size(), 2);
    // Zoom speed list index 5 holds "6": the text is sent, not the index.
    QCOMPARE(spy.last().first().toByteArray(), bytes("8101040726ff"));
    QTest::mouseRelease(zoomIn, Qt::LeftButton);
    QTRY_COMPARE(spy.size(), 3);
    QCOMPARE(spy.last().first().toByteArray(), bytes("8101040700ff"));
}

void TestMainWindow::statusTexts_data()
{
    QTest::addColumn<QByteArray>("digits");
    QTest::addColumn<QString>("texts"); // pan, tilt
    QTest::newRow("mixed digits") << bytes("000a030f00000001") << "Pan:0a3f Tilt:0001";
    QTest::newRow("negative") << bytes("0f0f0f0e0f0e040f") << "Pan:fffe Tilt:fe4f";
    // Bytes outside a nibble are printed whole, without padding.
    QTest::newRow("wide byte") << bytes("10000000000000ff") << "Pan:10000 Tilt:000ff";
}

void TestMainWindow::statusTexts()
{
    QFETCH(QByteArray, digits);
    QFETCH(QString, texts);
    MainWindow *w = window();
    RangeCamera cam;
    for (int i = 0; i < 8; ++i)
        cam.status().panTiltPos[i] = uint8_t(digits[i]);
    CameraWrapper *previous = w->currentCamera;
    w->currentCamera = &cam;
    w->updateStatus();
    w->currentCamera = previous;
    QCOMPARE(statusText("panStatus") + ' ' + statusText("tiltStatus"), texts);
}

void TestMainWindow::positionsFromTheCamera()
{
    // pan 2447 = 0x098f, tilt -1 = 0xffff, zoom 0x1234, focus 0x2000.
    m_sim1.setPosition(2447, -1, 0x1234, 0x2000);
    QTRY_COMPARE_WITH_TIMEOUT(statusText("panStatus"), QStringLiteral("Pan:098f"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(statusText("tiltStatus"), QStringLiteral("Tilt:ffff"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(statusText("zoomStatus"), QStringLiteral("Zoom:1234"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(statusText("focusStatus"), QStringLiteral("Focus:2000"), 5000);
}

void TestMainWindow::oneTimeCopyAfterConnect()
{
    MainWindow *w = window();
    QCheckBox *autoFocus = child<QCheckBox>("autoFocus");
    QTRY_COMPARE_WITH_TIMEOUT(w->uiSyncState, 2, 5000);
    // The simulator reports automatic focus: copied once after the connect.
    QVERIFY(m_sim1.autoFocus());
    QVERIFY(autoFocus->isChecked());
    QVERIFY(!child<QPushButton>("focusIn")->isEnabled());
    QVERIFY(!child<QPushButton>("focusOut")->isEnabled());

    // Later cycles leave the widgets alone.
    {
        const QSignalBlocker blocker(autoFocus);
        autoFocus->setChecked(false);
    }
    m_sim1.clearLog();
    QSignalSpy cycles(camera(0), &CameraWrapper::clientReadOneCycle);
    QTRY_VERIFY_WITH_TIMEOUT(cycles.size() >= 2, 5000);
    QVERIFY(!autoFocus->isChecked());
    QCOMPARE(w->uiSyncState, 2);
    QVERIFY(commands(m_sim1).isEmpty()); // and nothing was sent back
}

void TestMainWindow::reselectingCurrentCameraConnectsAgain()
{
    MainWindow *w = window();
    const int accepted = m_sim1.acceptedConnections();
    QSignalSpy dropped(&m_sim1, &CameraSimulator::clientDisconnected);
    child<QLabel>("connectionStatus")->clear();
    QTest::mouseClick(child<QPushButton>("connectCam1"), Qt::LeftButton);
    // The camera reports its state again; no disconnect, no new connection.
    QTRY_COMPARE(statusText("connectionStatus"), QStringLiteral("Connected"));
    QCOMPARE(w->currentCamera, camera(0));
    QVERIFY(w->cameraConnected);
    QCOMPARE(m_sim1.acceptedConnections(), accepted);
    QCOMPARE(m_sim1.openConnections(), 1);
    QCOMPARE(dropped.size(), 0);
}

void TestMainWindow::switchCameraFromController()
{
    MainWindow *w = window();
    const int accepted2 = m_sim2.acceptedConnections();
    w->onSwitchCamera(5);
    QCOMPARE(w->currentCamera, camera(0));
    QCOMPARE(m_sim2.acceptedConnections(), accepted2);

    QSignalSpy dropped1(&m_sim1, &CameraSimulator::clientDisconnected);
    QSignalSpy connected2(&m_sim2, &CameraSimulator::clientConnected);
    w->onSwitchCamera(2);
    QCOMPARE(w->currentCamera, camera(1));
    QVERIFY(connected2.wait(5000));
    QTRY_VERIFY(dropped1.size() == 1);
    QTRY_VERIFY_WITH_TIMEOUT(w->cameraConnected, 5000);
    QCOMPARE(child<QPushButton>("connectCam2")->styleSheet().left(42),
             QStringLiteral("QPushButton{background : #4f4f4f;padding :"));
    QVERIFY(child<QPushButton>("connectCam1")
                ->styleSheet()
                .startsWith("QPushButton{background : grey;"));
}

void TestMainWindow::selectingAnotherCameraDisconnectsPrevious()
{
    MainWindow *w = window();
    QCOMPARE(w->currentCamera, camera(1));
    QSignalSpy dropped2(&m_sim2, &CameraSimulator::clientDisconnected);
    QSignalSpy connected1(&m_sim1, &CameraSimulator::clientConnected);
    QTest::mouseClick(child<QPushButton>("connectCam1"), Qt::LeftButton);
    // Until camera 1 reports its connection, nothing may be sent to it.
    QCOMPARE(w->currentCamera, camera(0));
    QVERIFY(!w->cameraConnected);
    QVERIFY(dropped2.wait(5000));
    QVERIFY(connected1.size() == 1 || connected1.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(w->cameraConnected, 5000);
    QCOMPARE(m_sim2.openConnections(), 0);
}

void TestMainWindow::connectionOpensPreviewWhenLeftOpen()
{
    MainWindow *w = window();
    QAction *action = child<QAction>("actionPreviewWindow");
    action->trigger();
    QVERIFY(!w->previewClosed);
    // Closing it by unchecking the action would set previewClosed; uncheck
    // without the slot to model a preview left open across a reconnect.
    {
        const QSignalBlocker blocker(action);
        action->setChecked(false);
    }
    QVERIFY(selectAndWait(1, m_sim2));
    QVERIFY(action->isChecked());
    action->trigger();
    QVERIFY(w->previewClosed);
}

void TestMainWindow::configurationRebuildLeavesNoCameraSelected()
{
    MainWindow *w = window();
    QVERIFY(w->cameraConnected);
    QSignalSpy dropped2(&m_sim2, &CameraSimulator::clientDisconnected);
    {
        IPCamera one("127.0.0.1", "Renamed first camera", "d");
        IPCamera two("127.0.0.2", "Two", "d");
        settings()->saveCameraList({&one, &two});
    }
    w->rebuildCameraList();
    QVERIFY(!w->currentCamera);
    QVERIFY(!w->cameraConnected);
    QCOMPARE(w->uiSyncState, 2);
    QCOMPARE(statusText("connectionStatus"), QStringLiteral("Unconnected"));
    QCOMPARE(statusText("deviceNameStatus"), QStringLiteral("Device Name"));
    QCOMPARE(statusText("serialNumberStatus"), QStringLiteral("Serial Number"));
    QCOMPARE(child<QPushButton>("connectCam1")->text(), QStringLiteral("Renamed fi"));
    QCOMPARE(child<QPushButton>("connectCam2")->text(), QStringLiteral("Two"));
    for (int i = 1; i <= 8; ++i)
        QVERIFY(child<QPushButton>(QByteArray("connectCam") + QByteArray::number(i))
                    ->styleSheet()
                    .startsWith("QPushButton{background : grey;"));
    QVERIFY(dropped2.size() == 1 || dropped2.wait(5000));

    // Nothing is driven until a camera of the new list is selected.
    m_sim1.clearLog();
    QTest::mousePress(child<QPushButton>("MoveTop"), Qt::LeftButton);
    QTest::mouseRelease(child<QPushButton>("MoveTop"), Qt::LeftButton);
    pointCamerasAtSimulators();
    QVERIFY(selectAndWait(0, m_sim1));
    QVERIFY(commands(m_sim1).isEmpty());
}

// Child process of exitWritesPendingSettings: one settings change still
// pending, then "Exit".
static int exitChild(int argc, char **argv)
{
    CorvantaApp app(argc, argv);
    app.settings()->setSnapshotPath("/pending/path");
    app.mainWindow()->findChild<QAction *>("actionExit")->trigger();
    std::printf("not exited\n");
    return 3;
}

// The web interface rebuilds the list through the application object alone;
// the window must not keep the released camera.
void TestMainWindow::cameraListRebuiltElsewhereReleasesSelection()
{
    MainWindow *w = window();
    QVERIFY(w->cameraConnected);
    QCOMPARE(w->currentCamera, camera(0));
    QSignalSpy dropped1(&m_sim1, &CameraSimulator::clientDisconnected);
    {
        IPCamera one("127.0.0.1", "Named on the web", "d");
        settings()->saveCameraList({&one});
    }
    CorvantaApp::instance()->createCameras();
    CorvantaApp::instance()->connectCameraSignals();
    QTRY_VERIFY(!w->currentCamera);
    QVERIFY(!w->cameraConnected);
    QCOMPARE(child<QPushButton>("connectCam1")->text(), QStringLiteral("Named on t"));
    QVERIFY(dropped1.size() == 1 || dropped1.wait(5000));
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[argc - 1], "--exit-child") == 0)
        return exitChild(argc - 1, argv);
    TempDataHome home;
    storeCameraList(
        home.path(), "tst_mainwindow",
        {{0, "127.0.0.1", "Studio Left Camera", "dev"}, {0, "127.0.0.2", "Stage", "dev"}});
    CorvantaApp app(argc, argv);
    TestMainWindow tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_mainwindow.moc"
