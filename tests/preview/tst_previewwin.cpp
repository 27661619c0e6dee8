// The preview window over a recording player: what it plays for which source,
// the non-modal box for what cannot play, snapshots, and that every way out
// stops the player.
#include "fakemediaplayer.h"
#include "previewwin.h"

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
        m_win->setCaptureDeviceLookup(
            [](const QString &id) { return id == "Cam A" ? "/dev/video7" : ""; });
        m_win->show();
    }
    void cleanup()
    {
        m_win.reset();
        qDeleteAll(errorBoxes());
    }

    void start_data()
    {
        QTest::addColumn<int>("type"); // -1: no camera
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("second"); // the camera's own second stream
        QTest::addColumn<QString>("calls");
        QTest::addColumn<int>("boxes"); // "Can not open your live stream."
        const auto row = [](const char *name, int type, const char *id, const char *second,
                            const char *calls, int boxes) {
            QTest::newRow(name) << type << QString(id) << QString(second) << QString(calls)
                                << boxes;
        };
        row("no camera", -1, "127.0.1.5", "", "", 0);
        row("network camera", 0, "127.0.1.5", "", "start rtsp://127.0.1.5/2", 0);
        row("USB camera", 1, "Cam A", "", "start /dev/video7", 0);
        row("player cannot start", 0, "127.0.1.5", "", "start rtsp://127.0.1.5/2", 1);
        row("USB camera not attached", 1, "Cam B", "", "", 1);
        row("id with a path and query", 0, "127.0.1.5/x?y=1", "", "", 1);
        row("id with a space", 0, "10.0.0 .5", "", "", 1);
        row("empty id", 0, "", "", "", 1);
        row("own address", 0, "/dev/ttyUSB0", "rtsp://127.0.1.6:8554/l?p=2",
            "start rtsp://127.0.1.6:8554/l?p=2", 0);
        row("own address, not rtsp", 0, "/dev/ttyUSB0", "file:///etc/passwd", "", 1);
    }
    void start()
    {
        QFETCH(int, type);
        QFETCH(QString, id);
        QFETCH(QString, second);
        QFETCH(int, boxes);
        m_player->refuse = QTest::currentDataTag() == QLatin1String("player cannot start");
        m_win->setSource(type, id);
        if (!second.isEmpty())
            m_win->setStreamAddresses("rtsp://127.0.1.6/main", second);
        m_win->onStartBtnClicked(); // not connected yet
        m_win->setConnected(true);
        m_win->onStartBtnClicked();
        QTEST(m_log->join('|'), "calls");
        QCOMPARE(m_win->isPlaying(), !m_log->isEmpty() && !boxes);
        QCOMPARE(errorBoxes().size(), boxes);
        QVERIFY(!boxes || !errorBoxes()[0]->isModal());
        if (!boxes) // no stream choice for a USB camera
            QCOMPARE(m_win->findChild<QRadioButton *>("firstStream")->isVisible(), type != 1);
    }

    // Start while playing does nothing; another stream reopens; a failure ends
    // playback with one box and Start retries; a new source forgets the old
    // one's own addresses.
    void restartsAndFailure()
    {
        m_win->setSource(0, "/dev/ttyUSB0");
        m_win->setStreamAddresses("rtsp://127.0.1.6/1", "rtsp://127.0.1.6/2");
        m_win->setSource(0, "127.0.1.5");
        startPlaying();
        m_win->onStartBtnClicked();
        m_win->findChild<QRadioButton *>("firstStream")->click();
        emit m_player->frameReady(QImage(64, 36, QImage::Format_RGB32));
        emit m_player->failed("not found");
        emit m_player->failed("not found");
        QVERIFY(!m_win->isPlaying() && m_win->currentFrame().isNull());
        QCOMPARE(errorBoxes().size(), 1);
        m_win->onStartBtnClicked();
        QCOMPARE(*m_log,
                 (QStringList{"stop", "start rtsp://127.0.1.5/1", "start rtsp://127.0.1.5/1"}));
    }

    // Home, presets (100 + n) and snapshots only while playing.
    void actionsNeedPlayback()
    {
        QSignalSpy home(m_win.get(), &PreviewWin::homeRequested);
        QSignalSpy preset(m_win.get(), &PreviewWin::presetRequested);
        QSignalSpy saved(m_win.get(), &PreviewWin::snapshotSaved);
        for (bool playing : {false, true}) {
            if (playing) {
                startPlaying();
            } else {
                m_win->onTakeSnapShotClicked();
                QVERIFY(!m_win->takeSnapShot(m_home.filePath("x.png")));
            }
            m_win->onHomeBtnClicked();
            m_win->onPresetCalled(3);
        }
        QCoreApplication::processEvents();
        QVERIFY(saved.isEmpty());
        QCOMPARE(home.size(), 1);
        QCOMPARE(preset.value(0).value(0).toInt(), 103);
    }

    // Disconnected or another camera: stopped; the same camera again plays on.
    void losingTheCameraStops()
    {
        for (int how = 0; how < 3; ++how) {
            startPlaying();
            how == 0 ? m_win->setConnected(false)
                     : m_win->setSource(0, how == 1 ? "127.0.1.6" : "127.0.1.5");
            QCOMPARE(m_win->isPlaying(), how == 2);
            QCOMPARE(*m_log, how == 2 ? QStringList{} : QStringList{"stop"});
        }
    }

    // Closing stops; destruction stops first.
    void closeAndDestroyStopFirst()
    {
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

    QTemporaryDir m_home;
    std::shared_ptr<QStringList> m_log;
    FakePlayer *m_player = nullptr;
    std::unique_ptr<PreviewWin> m_win;
};

QTEST_MAIN(TestPreviewWin)
#include "tst_previewwin.moc"
