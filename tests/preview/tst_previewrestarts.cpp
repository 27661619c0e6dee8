// A show's worth of preview restarts against a real RTSP server
// (rtspserver.py on 127.0.0.1, free port): every Stop must release its whole
// pipeline, so the process's open descriptors return to where they were.
#include "mediaplayer.h"
#include "rtspserverprocess.h"

#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

int openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
        .size();
}

} // namespace

class TestPreviewRestarts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A key frame every 5 frames: each start shows a picture within ~0.2 s.
        // The server keeps its streams running, so a start never meets the shared
        // stream being torn down after the previous stop.
        const QString why =
            m_server.start("127.0.0.1", {"1=160x120@30:5", "2=96x64@30:5"}, 0, true);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void restartsReturnDescriptorsToStart()
    {
        // GStreamer's process-wide state (registry, clock, thread pools) is made
        // by the first playbacks and kept; the count starts after them.
        {
            auto warmUp = createDefaultMediaPlayer();
            for (int i = 0; i < 3; ++i)
                playUntilFrame(*warmUp, 1 + i % 2);
        } // joins its control thread: every stop has run
        const int start = openDescriptors();

        auto player = createDefaultMediaPlayer();
        for (int i = 0; i < 100; ++i) {
            playUntilFrame(*player, 1 + i % 2);
            if (QTest::currentTestFailed())
                return;
            player->stop();
        }
        player.reset();
        // Streaming threads may close their last sockets just after the join.
        QTRY_COMPARE_WITH_TIMEOUT(openDescriptors(), start, 20000);
    }

private:
    // Starts stream /stream and waits for its first picture.
    void playUntilFrame(MediaPlayer &player, int stream);

    RtspServerProcess m_server;
};

void TestPreviewRestarts::playUntilFrame(MediaPlayer &player, int stream)
{
    QSignalSpy frames(&player, &MediaPlayer::frameReady);
    QSignalSpy failed(&player, &MediaPlayer::failed);
    MediaSource source;
    source.location = QStringLiteral("rtsp://127.0.0.1:%1/%2").arg(m_server.port()).arg(stream);
    QVERIFY(player.start(source));
    QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty() || !failed.isEmpty(), 20000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
}

QTEST_GUILESS_MAIN(TestPreviewRestarts)
#include "tst_previewrestarts.moc"
