// The production player against a real RTSP server on loopback: a show's worth
// of restarts returns the process's open descriptors to where they were; the
// preview window on 127.0.0.41:554 (/1 at 640x360, /2 at 320x180, so the
// picture tells which stream plays; /3 does not exist).
#include "mediaplayer.h"
#include "previewwin.h"
#include "rtspserverprocess.h"

#include <QDir>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestGstPreview : public QObject
{
    Q_OBJECT
private slots:
    // First, so that nothing of another case is still closing its descriptors.
    void restartsReturnDescriptorsToStart()
    {
        // A key frame every 5 frames: each start shows a picture at once. The
        // streams keep running, so a start never meets one being torn down.
        RtspServerProcess server;
        const QString why = server.start("127.0.0.1", {"1=160x120@30:5", "2=96x64@30:5"}, 0, true);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const auto playUntilFrame = [&](MediaPlayer &player, int i) {
            QSignalSpy frames(&player, &MediaPlayer::frameReady);
            QSignalSpy failed(&player, &MediaPlayer::failed);
            MediaSource source;
            source.location = QString("rtsp://127.0.0.1:%1/%2").arg(server.port()).arg(1 + i % 2);
            QVERIFY(player.start(source));
            QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty() || !failed.isEmpty(), 20000);
            QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
        };
        const auto openDescriptors = [] {
            return QDir("/proc/self/fd")
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                .size();
        };
        // GStreamer's process-wide state (registry, clock, thread pools) is
        // made by the first playbacks and kept; the count starts after them.
        for (int i = 0; i < 3; ++i)
            playUntilFrame(*createDefaultMediaPlayer(), i); // each joins its control thread
        const int start = openDescriptors();
        auto player = createDefaultMediaPlayer();
        for (int i = 0; i < 100 && !QTest::currentTestFailed(); ++i) {
            playUntilFrame(*player, i);
            player->stop();
        }
        player.reset();
        // Streaming threads may close their last sockets just after the join.
        QTRY_COMPARE_WITH_TIMEOUT(openDescriptors(), start, 20000);
    }
    // A snapshot of stream 2 decodes; a stream change plays stream 1; a
    // stream the camera lacks ends playback with the box.
    void playSnapshotSwitchAndMissingStream()
    {
        RtspServerProcess server;
        const QString why = server.start("127.0.0.41", {"1=640x360@15", "2=320x180@15"});
        if (why.contains("BINDFAIL"))
            QSKIP(qPrintable("RTSP needs port 554 (no port in the stream URL): " + why));
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QTemporaryDir folder;
        PreviewWin win;
        win.setSnapshotFolderSource([&folder] { return folder.path(); });
        win.show();
        win.setSource(0, "127.0.0.41");
        win.setConnected(true);
        QSignalSpy shown(&win, &PreviewWin::firstFrameShown);
        win.onStartBtnClicked();
        QVERIFY(shown.wait(20000));
        QCOMPARE(win.currentFrame().size(), QSize(320, 180));
        QSignalSpy saved(&win, &PreviewWin::snapshotSaved);
        win.onTakeSnapShotClicked();
        QVERIFY(saved.wait(20000));
        QCOMPARE(QImage(saved[0][0].toString(), "png").size(), QSize(320, 180));
        win.setFirstStreamChecked(true);
        win.onStreamChanged();
        QVERIFY(shown.wait(20000));
        QCOMPARE(win.currentFrame().size(), QSize(640, 360));
        win.setStreamAddresses("rtsp://127.0.0.41/3", "rtsp://127.0.0.41/3");
        win.onStreamChanged();
        QTRY_VERIFY_WITH_TIMEOUT(!win.isPlaying(), 20000);
        QMessageBox *box = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            box = box ? box : qobject_cast<QMessageBox *>(w);
        QVERIFY(box && box->isVisible());
        delete box;
    }
};

QTEST_MAIN(TestGstPreview)
#include "tst_gstpreview.moc"
