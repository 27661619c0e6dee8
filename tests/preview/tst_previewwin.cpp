#include "absback.h"
#include "fakemediaplayer.h"
#include "mediaplayer.h"
#include "previewwin.h"
#include "storagepaths.h"

#include <QDir>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
    void startGuardsAndSource_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("not connected") << false << 0 << "127.0.1.5" << QStringList{};
        QTest::newRow("no camera") << true << -1 << "127.0.1.5" << QStringList{};
        QTest::newRow("network: second stream; Start again does nothing")
            << true << 0 << "127.0.1.5" << QStringList{"start rtsp://127.0.1.5/2"};
        QTest::newRow("USB: its device, no stream choice")
            << true << 1 << "Cam A" << QStringList{"start /dev/video7"};
    }
    void startGuardsAndSource()
    {
        QFETCH(bool, connected);
        QFETCH(int, type);
        QFETCH(QString, id);
        m_win->show();
        m_win->setSource(type, id);
        m_win->setConnected(connected);
        m_win->onStartBtnClicked();
        m_win->onStartBtnClicked();
        QTEST(*m_log, "calls");
        QCOMPARE(m_win->isPlaying(), !m_log->isEmpty());
        QCOMPARE(m_win->findChild<QRadioButton *>("firstStream")->isVisible(), type != 1);
    }
    void streamChangeReopens()
    {
        startPlaying();
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
    void cameraStreamAddresses()
    {
        QFETCH(QString, second);
        m_win->setSource(0, "/dev/ttyUSB0");
        m_win->setStreamAddresses("rtsp://127.0.1.6/main", second);
        m_win->setConnected(true);
        m_win->onStartBtnClicked(); // stream 2 is the one chosen at first
        QTEST(*m_log, "calls");
        QTEST(int(errorBoxes().size()), "boxes");
        // A new source forgets the addresses of the old one.
        m_win->onStopBtnClicked();
        m_log->clear();
        m_win->setSource(0, "127.0.1.7");
        m_win->onStartBtnClicked();
        QCOMPARE(*m_log, QStringList{"start rtsp://127.0.1.7/2"});
    }
    void unusableSourceShowsBoxAndStaysIdle_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("id");
        QTest::newRow("player cannot start") << 0 << "127.0.1.5";
        QTest::newRow("USB camera not attached") << 1 << "Cam B";
        QTest::newRow("id with a path and query") << 0 << "127.0.1.5/x?y=1";
        QTest::newRow("id with a space") << 0 << "10.0.0 .5";
        QTest::newRow("empty id") << 0 << "";
    }
    void unusableSourceShowsBoxAndStaysIdle()
    {
        QFETCH(int, type);
        QFETCH(QString, id);
        m_player->refuse = QTest::currentDataTag() == QLatin1String("player cannot start");
        m_win->setSource(type, id);
        m_win->setConnected(true);
        m_win->onStartBtnClicked();
        QCOMPARE(errorBoxes().size(), 1);
        QMessageBox *box = errorBoxes().first();
        QVERIFY(box->isVisible() && !box->isModal());
        QCOMPARE(box->windowTitle() + "|" + box->text(),
                 QString("Corvanta|Can not open your live stream."));
        QVERIFY(!m_win->isPlaying());
    }
    void failureEndsPlaybackWithOneBox()
    {
        startPlaying();
        emit m_player->frameReady(QImage(64, 36, QImage::Format_RGB32));
        emit m_player->failed("not found");
        emit m_player->failed("not found");
        QVERIFY(!m_win->isPlaying());
        QVERIFY(m_win->currentFrame().isNull());
        QCOMPARE(errorBoxes().size(), 1);
        m_win->onStartBtnClicked(); // retries at once
        QCOMPARE(*m_log, QStringList{"start rtsp://127.0.1.5/2"});
    }
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
        QCOMPARE(home.count(), 1);
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
        QVERIFY(saved.at(0).at(1).toBool());
        const QFileInfo file(saved.at(0).at(0).toString());
        QCOMPARE(file.absolutePath(),
                 setting == temp.path() ? temp.path() : Storage::downloadsFolder());
        QVERIFY2(QRegularExpression("^\\d\\d-\\d\\d-\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d{3}\\.png$")
                     .match(file.fileName())
                     .hasMatch(),
                 qPrintable(file.fileName()));
        QCOMPARE(QImage(file.filePath(), "png").pixelColor(10, 10), QColor(Qt::green));
        QFile::remove(file.filePath());
    }
    void resizeRefreshesLayers()
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
    void closeAndDestroyStopFirst()
    {
        m_win->show();
        startPlaying();
        QSignalSpy closed(m_win.get(), &PreviewWin::closed);
        m_win->close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!m_win->isPlaying());
        m_win->onStartBtnClicked(); // playing again: destruction must stop first
        m_log->clear();
        m_win.reset();
        QCOMPARE(*m_log, (QStringList{"stop", "destroyed"}));
    }

private:
    QList<QMessageBox *> errorBoxes() const;
    void startPlaying(const QString &id = "127.0.1.5");

    std::shared_ptr<QStringList> m_log;
    FakePlayer *m_player = nullptr;
    std::unique_ptr<PreviewWin> m_win;
};

QList<QMessageBox *> TestPreviewWin::errorBoxes() const
{
    QList<QMessageBox *> boxes;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w))
            boxes << box;
    }
    return boxes;
}

void TestPreviewWin::startPlaying(const QString &id)
{
    m_win->setSource(0, id);
    m_win->setConnected(true);
    m_win->onStartBtnClicked();
    QVERIFY(m_win->isPlaying());
    m_log->clear();
}

QTEST_MAIN(TestPreviewWin)
#include "tst_previewwin.moc"
