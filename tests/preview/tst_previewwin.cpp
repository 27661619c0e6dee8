#include "absback.h"
#include "capturedevices.h"
#include "mediaplayer.h"
#include "previewwin.h"
#include "storagepaths.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Records what the window asks of its player; the test plays the media side.
struct PlayerLog
{
    QStringList calls; // "start <location>" / "stop"
};

class FakePlayer : public MediaPlayer
{
    Q_OBJECT
public:
    explicit FakePlayer(std::shared_ptr<PlayerLog> log) : m_log(std::move(log)) {}
    ~FakePlayer() override { m_log->calls << "destroyed"; }
    bool start(const MediaSource &source) override
    {
        m_log->calls << QStringLiteral("start ") + source.location;
        return !refuse;
    }
    void stop() override { m_log->calls << "stop"; }
    bool refuse = false;

private:
    std::shared_ptr<PlayerLog> m_log;
};

class TestPreviewWin : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startGuardsAndAddress_data();
    void startGuardsAndAddress();
    void streamChangeReopens();
    void usbCameraPlaysItsDevice();
    void unusableSourceShowsBoxAndStaysIdle_data();
    void unusableSourceShowsBoxAndStaysIdle();
    void failureEndsPlaybackWithOneBox();
    void cameraActionsOnlyWhilePlaying();
    void losingTheCameraStops_data();
    void losingTheCameraStops();
    void snapshotFolder_data();
    void snapshotFolder();
    void snapshotWhileIdleWritesNothing();
    void resizeRefreshesLayers();
    void closeAndDestroyStopFirst();
    void captureDeviceByCardName_data();
    void captureDeviceByCardName();

private:
    QMessageBox *errorBox() const;
    void startPlaying(const QString &id = QStringLiteral("10.0.0.5"));
    void frame(const QColor &color = Qt::red);

    std::shared_ptr<PlayerLog> m_log;
    FakePlayer *m_player = nullptr;
    std::unique_ptr<PreviewWin> m_win;
};

void TestPreviewWin::init()
{
    m_log = std::make_shared<PlayerLog>();
    auto player = std::make_unique<FakePlayer>(m_log);
    m_player = player.get();
    m_win = std::make_unique<PreviewWin>(std::move(player));
    m_win->setOverlayRefreshDelay(0);
}

void TestPreviewWin::cleanup()
{
    m_win.reset();
    delete errorBox();
}

QMessageBox *TestPreviewWin::errorBox() const
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->isVisible() && box->text() == "Can not open your live stream.")
            return box;
    }
    return nullptr;
}

void TestPreviewWin::startPlaying(const QString &id)
{
    m_win->setSource(0, id);
    m_win->setConnected(true);
    m_win->onStartBtnClicked();
    QVERIFY(m_win->isPlaying());
    m_log->calls.clear();
}

void TestPreviewWin::frame(const QColor &color)
{
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(color);
    emit m_player->frameReady(image);
}

void TestPreviewWin::startGuardsAndAddress_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("not connected") << false << 0 << QStringList{};
    QTest::newRow("no camera") << true << -1 << QStringList{};
    QTest::newRow("network, second stream; a second Start does nothing")
        << true << 0 << QStringList{"start rtsp://10.0.0.5/2"};
}

void TestPreviewWin::startGuardsAndAddress()
{
    QFETCH(bool, connected);
    QFETCH(int, type);
    m_win->setSource(type, "10.0.0.5");
    m_win->setConnected(connected);
    m_win->onStartBtnClicked();
    m_win->onStartBtnClicked();
    QTEST(m_log->calls, "calls");
    QCOMPARE(m_win->isPlaying(), !m_log->calls.isEmpty());
}

void TestPreviewWin::streamChangeReopens()
{
    startPlaying();
    m_win->findChild<QRadioButton *>("firstStream")->click();
    QCOMPARE(m_log->calls, (QStringList{"stop", "start rtsp://10.0.0.5/1"}));
    QVERIFY(m_win->isFirstStreamChecked());
}

void TestPreviewWin::usbCameraPlaysItsDevice()
{
    m_win->show();
    m_win->setCaptureDeviceLookup([](const QString &id) { return "/dev/video-" + id; });
    m_win->setSource(1, "Cam A");
    m_win->setConnected(true);
    m_win->onStartBtnClicked();
    QCOMPARE(m_log->calls, QStringList{"start /dev/video-Cam A"});
    QVERIFY(m_win->findChild<QRadioButton *>("firstStream")->isHidden());
    QVERIFY(m_win->findChild<QRadioButton *>("secondStream")->isHidden());
}

void TestPreviewWin::unusableSourceShowsBoxAndStaysIdle_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("refuse");
    QTest::newRow("player cannot start") << 0 << "10.0.0.5" << true;
    QTest::newRow("USB camera not attached") << 1 << "Cam A" << false;
    QTest::newRow("id with a path") << 0 << "10.0.0.5/x?y=1" << false;
    QTest::newRow("id with a space") << 0 << "10.0.0 .5" << false;
    QTest::newRow("empty id") << 0 << "" << false;
}

void TestPreviewWin::unusableSourceShowsBoxAndStaysIdle()
{
    QFETCH(int, type);
    QFETCH(QString, id);
    m_player->refuse = QTest::currentDataTag() == QLatin1String("player cannot start");
    m_win->setCaptureDeviceLookup([](const QString &) { return QString(); });
    m_win->setSource(type, id);
    m_win->setConnected(true);
    m_win->onStartBtnClicked();
    QVERIFY(errorBox());
    QVERIFY(!errorBox()->isModal());
    QCOMPARE(errorBox()->windowTitle(), QString("Corvanta"));
    QVERIFY(!m_win->isPlaying());
}

void TestPreviewWin::failureEndsPlaybackWithOneBox()
{
    startPlaying();
    frame();
    emit m_player->failed("not found");
    emit m_player->failed("not found");
    QVERIFY(!m_win->isPlaying());
    QVERIFY(m_win->currentFrame().isNull());
    int boxes = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        boxes += qobject_cast<QMessageBox *>(w) != nullptr;
    QCOMPARE(boxes, 1);
    // Start retries at once.
    m_win->onStartBtnClicked();
    QCOMPARE(m_log->calls, QStringList{"start rtsp://10.0.0.5/2"});
}

void TestPreviewWin::cameraActionsOnlyWhilePlaying()
{
    QSignalSpy home(m_win.get(), &PreviewWin::homeRequested);
    QSignalSpy preset(m_win.get(), &PreviewWin::presetRequested);
    m_win->setSource(0, "10.0.0.5");
    m_win->setConnected(true);
    m_win->onHomeBtnClicked();
    m_win->onPresetCalled(3);
    QVERIFY(home.isEmpty() && preset.isEmpty());
    startPlaying();
    m_win->onHomeBtnClicked();
    m_win->onPresetCalled(3);
    QCOMPARE(home.count(), 1);
    QCOMPARE(preset.value(0).value(0).toInt(), 103);
}

void TestPreviewWin::losingTheCameraStops_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("disconnected") << 0;
    QTest::newRow("other camera") << 1;
    QTest::newRow("same camera again keeps playing") << 2;
}

void TestPreviewWin::losingTheCameraStops()
{
    QFETCH(int, how);
    startPlaying();
    if (how == 0)
        m_win->setConnected(false);
    else
        m_win->setSource(0, how == 1 ? "10.0.0.6" : "10.0.0.5");
    QCOMPARE(m_win->isPlaying(), how == 2);
    QCOMPARE(m_log->calls, how == 2 ? QStringList{} : QStringList{"stop"});
}

void TestPreviewWin::snapshotFolder_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("fallback");
    QTest::newRow("chosen folder") << "<temp>" << false;
    QTest::newRow("unset") << "" << true;
    QTest::newRow("relative") << "snaps" << true;
}

void TestPreviewWin::snapshotFolder()
{
    QFETCH(QString, setting);
    QFETCH(bool, fallback);
    QTemporaryDir temp;
    if (setting == "<temp>")
        setting = temp.path();
    m_win->setSnapshotFolderSource([setting] { return setting; });
    startPlaying();
    frame(Qt::green);
    QSignalSpy saved(m_win.get(), &PreviewWin::snapshotSaved);
    m_win->onTakeSnapShotClicked();
    QVERIFY(saved.wait());
    const QString path = saved.at(0).at(0).toString();
    QVERIFY(saved.at(0).at(1).toBool());
    const QFileInfo file(path);
    QCOMPARE(file.absolutePath(), fallback ? Storage::downloadsFolder() : temp.path());
    QVERIFY2(QRegularExpression("^\\d\\d-\\d\\d-\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d{3}\\.png$")
                 .match(file.fileName())
                 .hasMatch(),
             qPrintable(file.fileName()));
    const QImage image(path, "png");
    QCOMPARE(image.size(), QSize(64, 36));
    QCOMPARE(image.pixelColor(10, 10), QColor(Qt::green));
    QFile::remove(path);
}

void TestPreviewWin::snapshotWhileIdleWritesNothing()
{
    QTemporaryDir temp;
    m_win->setSnapshotFolderSource([&temp] { return temp.path(); });
    QSignalSpy saved(m_win.get(), &PreviewWin::snapshotSaved);
    m_win->onTakeSnapShotClicked();
    QVERIFY(!m_win->takeSnapShot(temp.filePath("x.png")));
    QCoreApplication::processEvents();
    QVERIFY(saved.isEmpty());
    QVERIFY(QDir(temp.path()).isEmpty());
}

void TestPreviewWin::resizeRefreshesLayers()
{
    m_win->show();
    startPlaying();
    auto *area = m_win->findChild<QWidget *>("playerWrapper");
    auto *video = m_win->findChildren<AbsBack *>().value(0);
    QTRY_COMPARE(video->size(), area->size());
    m_win->resize(900, 700);
    QTRY_COMPARE(video->size(), area->size());
    QCOMPARE(video->pos(), QPoint(0, 0));
}

void TestPreviewWin::closeAndDestroyStopFirst()
{
    m_win->show();
    startPlaying();
    QSignalSpy closed(m_win.get(), &PreviewWin::closed);
    m_win->close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!m_win->isPlaying());
    m_win->onStartBtnClicked();
    m_log->calls.clear();
    m_win.reset();
    QCOMPARE(m_log->calls, (QStringList{"stop", "destroyed"}));
}

void TestPreviewWin::captureDeviceByCardName_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("device");
    QTest::newRow("picture node, not metadata") << "Cam A"
                                                << "/dev/video2";
    QTest::newRow("numeric order") << "Cam B"
                                   << "/dev/video10";
    QTest::newRow("absent") << "Cam C"
                            << "";
    QTest::newRow("empty id") << ""
                              << "";
}

void TestPreviewWin::captureDeviceByCardName()
{
    QFETCH(QString, id);
    QTemporaryDir sysfs;
    const auto node = [&](const QString &name, const QString &card, const QString &index) {
        QDir(sysfs.path()).mkpath(name);
        QFile f(sysfs.filePath(name + "/name"));
        f.open(QIODevice::WriteOnly);
        f.write(card.toUtf8() + "\n");
        QFile i(sysfs.filePath(name + "/index"));
        i.open(QIODevice::WriteOnly);
        i.write(index.toUtf8() + "\n");
    };
    node("video3", "Cam A", "1");
    node("video2", "Cam A", "0");
    node("video10", "Cam B", "0");
    node("video11", "Cam B", "0");
    QTEST(findCaptureDevice(id, sysfs.path()), "device");
}

QTEST_MAIN(TestPreviewWin)
#include "tst_previewwin.moc"
