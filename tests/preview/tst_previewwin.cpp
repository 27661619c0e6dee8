// The preview window over a recording player: what it plays for which source,
// the non-modal box for what cannot play, snapshots, and that every way out
// stops the player.
#include "fakemediaplayer.h"
#include "previewwin.h"
#include "storagepaths.h"

#include <QDir>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestPreviewWin : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_log = std::make_shared<QStringList>();
        auto player = std::make_unique<FakePlayer>(m_log);
        m_player = player.get();
        m_win = std::make_unique<PreviewWin>(std::move(player));
        m_win->setOverlayRefreshDelay(0);
        m_win->setCaptureDeviceLookup(
            [](const QString &id) { return id == "Cam A" ? "/dev/video7" : QString(); });
    }
    void cleanup()
    {
        m_win.reset();
        qDeleteAll(errorBoxes());
    }

    void start_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("box");                      // "Can not open your live stream."
        const QStringList rtsp{"start rtsp://127.0.1.5/2"}; // the second stream at first
        QTest::newRow("not connected") << false << 0 << "127.0.1.5" << QStringList{} << false;
        QTest::newRow("no camera") << true << -1 << "127.0.1.5" << QStringList{} << false;
        QTest::newRow("network camera") << true << 0 << "127.0.1.5" << rtsp << false;
        QTest::newRow("USB camera")
            << true << 1 << "Cam A" << QStringList{"start /dev/video7"} << false;
        QTest::newRow("player cannot start") << true << 0 << "127.0.1.5" << rtsp << true;
        QTest::newRow("USB camera not attached") << true << 1 << "Cam B" << QStringList{} << true;
        QTest::newRow("id with a path and query")
            << true << 0 << "127.0.1.5/x?y=1" << QStringList{} << true;
        QTest::newRow("id with a space") << true << 0 << "10.0.0 .5" << QStringList{} << true;
        QTest::newRow("empty id") << true << 0 << "" << QStringList{} << true;
    }
    void start()
    {
        QFETCH(bool, connected);
        QFETCH(int, type);
        QFETCH(QString, id);
        QFETCH(bool, box);
        m_player->refuse = QTest::currentDataTag() == QLatin1String("player cannot start");
        m_win->show();
        m_win->setSource(type, id);
        m_win->setConnected(connected);
        m_win->onStartBtnClicked();
        QTEST(*m_log, "calls");
        QCOMPARE(m_win->isPlaying(), !m_log->isEmpty() && !box);
        QCOMPARE(errorBoxes().size(), int(box));
        QVERIFY(!box || (errorBoxes()[0]->isVisible() && !errorBoxes()[0]->isModal()));
        if (!box) // no stream choice for a USB camera
            QCOMPARE(m_win->findChild<QRadioButton *>("firstStream")->isVisible(), type != 1);
    }

    // Stream 1 or 2 chosen while playing: the player reopens; Start while
    // playing does nothing.
    void streamChangeReopens()
    {
        startPlaying();
        m_win->onStartBtnClicked();
        m_win->findChild<QRadioButton *>("firstStream")->click();
        QCOMPARE(*m_log, (QStringList{"stop", "start rtsp://127.0.1.5/1"}));
    }

    void cameraStreamAddresses_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("boxes");
        QTest::newRow("its own address")
            << "rtsp://127.0.1.6:8554/live?profile=2"
            << QStringList{"start rtsp://127.0.1.6:8554/live?profile=2"} << 0;
        QTest::newRow("none: nothing plays, no box") << "" << QStringList{} << 0;
        QTest::newRow("not rtsp") << "file:///etc/passwd" << QStringList{} << 1;
    }
    // A camera's own stream addresses; a new source forgets them.
    void cameraStreamAddresses()
    {
        QFETCH(QString, second);
        m_win->setSource(0, "/dev/ttyUSB0");
        m_win->setStreamAddresses("rtsp://127.0.1.6/main", second);
        m_win->setConnected(true);
        m_win->onStartBtnClicked();
        QTEST(*m_log, "calls");
        QTEST(int(errorBoxes().size()), "boxes");
        m_win->onStopBtnClicked();
        m_log->clear();
        m_win->setSource(0, "127.0.1.7");
        m_win->onStartBtnClicked();
        QCOMPARE(*m_log, QStringList{"start rtsp://127.0.1.7/2"});
    }

    void failureEndsPlaybackWithOneBox()
    {
        startPlaying();
        emit m_player->frameReady(QImage(64, 36, QImage::Format_RGB32));
        emit m_player->failed("not found");
        emit m_player->failed("not found");
        QVERIFY(!m_win->isPlaying() && m_win->currentFrame().isNull());
        QCOMPARE(errorBoxes().size(), 1);
        m_win->onStartBtnClicked(); // retries at once
        QCOMPARE(*m_log, QStringList{"start rtsp://127.0.1.5/2"});
    }

    // Home, presets (100 + n) and snapshots only while playing.
    void actionsNeedPlayback()
    {
        QSignalSpy home(m_win.get(), &PreviewWin::homeRequested);
        QSignalSpy preset(m_win.get(), &PreviewWin::presetRequested);
        QSignalSpy saved(m_win.get(), &PreviewWin::snapshotSaved);
        QTemporaryDir folder;
        m_win->setSnapshotFolderSource([&folder] { return folder.path(); });
        m_win->setSource(0, "127.0.1.5");
        m_win->setConnected(true);
        m_win->onHomeBtnClicked();
        m_win->onPresetCalled(3);
        m_win->onTakeSnapShotClicked();
        QVERIFY(!m_win->takeSnapShot(folder.filePath("x.png")));
        QCoreApplication::processEvents();
        QVERIFY(home.isEmpty() && preset.isEmpty() && saved.isEmpty());
        QVERIFY(QDir(folder.path()).isEmpty());
        startPlaying();
        m_win->onHomeBtnClicked();
        m_win->onPresetCalled(3);
        QCOMPARE(home.size(), 1);
        QCOMPARE(preset.value(0).value(0).toInt(), 103);
    }

    void losingTheCameraStops_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("disconnected") << 0;
        QTest::newRow("other camera") << 1;
        QTest::newRow("same camera again keeps playing") << 2;
    }
    void losingTheCameraStops()
    {
        QFETCH(int, how);
        startPlaying();
        if (how == 0)
            m_win->setConnected(false);
        else
            m_win->setSource(0, how == 1 ? "127.0.1.6" : "127.0.1.5");
        QCOMPARE(m_win->isPlaying(), how == 2);
        QCOMPARE(*m_log, how == 2 ? QStringList{} : QStringList{"stop"});
    }

    void snapshotFolder_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::newRow("chosen folder") << "<temp>";
        QTest::newRow("unset: downloads") << "";
        QTest::newRow("relative: downloads") << "snaps";
    }
    // The current frame as a PNG named by local time to the millisecond.
    void snapshotFolder()
    {
        QFETCH(QString, setting);
        QTemporaryDir temp;
        if (setting == "<temp>")
            setting = temp.path();
        m_win->setSnapshotFolderSource([setting] { return setting; });
        startPlaying();
        QImage frame(64, 36, QImage::Format_RGB32);
        frame.fill(Qt::green);
        emit m_player->frameReady(frame);
        QSignalSpy saved(m_win.get(), &PreviewWin::snapshotSaved);
        m_win->onTakeSnapShotClicked();
        QVERIFY(saved.wait());
        QVERIFY(saved[0][1].toBool());
        const QFileInfo file(saved[0][0].toString());
        QCOMPARE(file.absolutePath(),
                 setting == temp.path() ? setting : Storage::downloadsFolder());
        QVERIFY(QRegularExpression("^\\d\\d-\\d\\d-\\d{4}(-\\d\\d){3}-\\d{3}\\.png$")
                    .match(file.fileName())
                    .hasMatch());
        QCOMPARE(QImage(file.filePath(), "png").pixelColor(10, 10), QColor(Qt::green));
        QFile::remove(file.filePath());
    }

    // Closing stops; destruction stops first.
    void closeAndDestroyStopFirst()
    {
        m_win->show();
        startPlaying();
        QSignalSpy closed(m_win.get(), &PreviewWin::closed);
        m_win->close();
        QVERIFY(closed.size() == 1 && !m_win->isPlaying());
        m_win->onStartBtnClicked();
        m_log->clear();
        m_win.reset();
        QCOMPARE(*m_log, (QStringList{"stop", "destroyed"}));
    }

private:
    static QList<QMessageBox *> errorBoxes()
    {
        QList<QMessageBox *> boxes;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(w))
                boxes << box;
        }
        return boxes;
    }
    void startPlaying()
    {
        m_win->setSource(0, "127.0.1.5");
        m_win->setConnected(true);
        m_win->onStartBtnClicked();
        QVERIFY(m_win->isPlaying());
        m_log->clear();
    }

    std::shared_ptr<QStringList> m_log;
    FakePlayer *m_player = nullptr;
    std::unique_ptr<PreviewWin> m_win;
};

QTEST_MAIN(TestPreviewWin)
#include "tst_previewwin.moc"
