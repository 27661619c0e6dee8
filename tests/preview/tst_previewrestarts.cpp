// A show's worth of preview restarts against a real RTSP server on loopback:
// every Stop releases its whole pipeline, so the process's open descriptors
// return to where they were.
#include "mediaplayer.h"
#include "rtspserverprocess.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

class TestPreviewRestarts : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TestPreviewRestarts)
#include "tst_previewrestarts.moc"
