// The preview window against a real RTSP server on 127.0.0.41:554 and
// 127.0.0.42:554: /1 at 640x360, /2 at 320x180 (the picture tells which
// stream plays), and on 127.0.0.42 /1 only.
#include "previewwin.h"
#include "rtspserverprocess.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

class TestGstPreview : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString why = m_server.start("127.0.0.41", {"1=640x360@15", "2=320x180@15"});
        if (why.isEmpty())
            why = m_onlyFirst.start("127.0.0.42", {"1=640x360@15"});
        if (why.contains("BINDFAIL"))
            QSKIP(qPrintable("RTSP needs port 554 (no port in the stream URL): " + why));
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void init()
    {
        m_win = std::make_unique<PreviewWin>();
        m_win->show();
    }
    void cleanup()
    {
        m_win.reset();
        for (QWidget *w : QApplication::topLevelWidgets())
            delete qobject_cast<QMessageBox *>(w);
    }

    // A snapshot of stream 2 decodes; a stream change plays stream 1.
    void snapshotThenStreamSwitch()
    {
        QTemporaryDir folder;
        m_win->setSnapshotFolderSource([&folder] { return folder.path(); });
        play("127.0.0.41", false);
        QSignalSpy saved(m_win.get(), &PreviewWin::snapshotSaved);
        m_win->onTakeSnapShotClicked();
        QVERIFY(saved.wait(20000));
        QCOMPARE(QImage(saved[0][0].toString(), "png").size(), QSize(320, 180));
        QSignalSpy shown(m_win.get(), &PreviewWin::firstFrameShown);
        m_win->setFirstStreamChecked(true);
        m_win->onStreamChanged();
        QVERIFY(shown.wait(20000));
        QCOMPARE(m_win->currentFrame().size(), QSize(640, 360));
    }

    // Another camera stops the old picture; a stream it lacks shows the box.
    void cameraSwitchAndMissingStream()
    {
        play("127.0.0.41", false);
        m_win->setSource(0, "127.0.0.42");
        QVERIFY(!m_win->isPlaying() && m_win->currentFrame().isNull());
        play("127.0.0.42", true);
        m_win->setFirstStreamChecked(false);
        m_win->onStreamChanged();
        QTRY_VERIFY_WITH_TIMEOUT(!m_win->isPlaying(), 20000);
        QMessageBox *box = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            box = box ? box : qobject_cast<QMessageBox *>(w);
        QVERIFY(box && box->isVisible());
    }

    void dockAndUndockWhilePlaying()
    {
        QWidget host;
        new QVBoxLayout(&host);
        host.show();
        m_win->setDockHost(&host);
        play("127.0.0.41", false);
        auto *snap = m_win->findChild<QCheckBox *>("snapBox");
        snap->setChecked(true);
        QVERIFY(!m_win->isWindow() && m_win->parentWidget() == &host);
        waitForNewFrame();
        snap->setChecked(false);
        QVERIFY(m_win->isWindow());
        waitForNewFrame();
        QVERIFY(m_win->isPlaying());
        m_win.reset(); // a child of the host since docking
    }

private:
    void play(const QString &id, bool firstStream)
    {
        QSignalSpy shown(m_win.get(), &PreviewWin::firstFrameShown);
        m_win->setSource(0, id);
        m_win->setConnected(true);
        m_win->setFirstStreamChecked(firstStream);
        m_win->onStartBtnClicked();
        QVERIFY(shown.wait(20000));
        QCOMPARE(m_win->currentFrame().size(), firstStream ? QSize(640, 360) : QSize(320, 180));
    }
    void waitForNewFrame()
    {
        const qint64 key = m_win->currentFrame().cacheKey();
        QTRY_VERIFY_WITH_TIMEOUT(m_win->currentFrame().cacheKey() != key, 20000);
    }

    RtspServerProcess m_server;
    RtspServerProcess m_onlyFirst;
    std::unique_ptr<PreviewWin> m_win;
};

QTEST_MAIN(TestGstPreview)
#include "tst_gstpreview.moc"
