// The preview window against a real RTSP server (rtspserver.py) on
// 127.0.0.41:554 and 127.0.0.42:554; stream /1 is 640x360 and /2 320x180 so
// the picture tells which stream plays.
#include "previewwin.h"
#include "rtspserverprocess.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

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
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox *>(w))
                delete w;
        }
    }
    void firstFrameThenStreamSwitch()
    {
        play("127.0.0.41", false);
        QSignalSpy shown(m_win.get(), &PreviewWin::firstFrameShown);
        m_win->setFirstStreamChecked(true);
        m_win->onStreamChanged();
        QVERIFY(shown.wait(20000));
        QCOMPARE(m_win->currentFrame().size(), QSize(640, 360));
    }
    void snapshotIsDecodable()
    {
        QTemporaryDir folder;
        m_win->setSnapshotFolderSource([&folder] { return folder.path(); });
        play("127.0.0.41", false);
        QSignalSpy saved(m_win.get(), &PreviewWin::snapshotSaved);
        m_win->onTakeSnapShotClicked();
        QVERIFY(saved.wait(20000));
        QVERIFY(saved.at(0).at(1).toBool());
        QCOMPARE(QImage(saved.at(0).at(0).toString(), "png").size(), QSize(320, 180));
    }
    void missingStreamShowsBox()
    {
        m_win->setSource(0, "127.0.0.42");
        m_win->setConnected(true);
        m_win->onStartBtnClicked();
        QMessageBox *box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (QWidget *w : QApplication::topLevelWidgets()) {
                    box = qobject_cast<QMessageBox *>(w);
                    if (box && box->isVisible())
                        return true;
                }
                return false;
            }(),
            20000);
        QCOMPARE(box->text(), QString("Can not open your live stream."));
        QVERIFY(!m_win->isPlaying());
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
        QVERIFY(!m_win->isWindow());
        QCOMPARE(m_win->parentWidget(), &host);
        waitForNewFrame();
        snap->setChecked(false);
        QVERIFY(m_win->isWindow());
        waitForNewFrame();
        QVERIFY(m_win->isPlaying());
        m_win.reset(); // a child of the host since docking
    }
    void cameraSwitchWhilePlaying()
    {
        play("127.0.0.41", false);
        m_win->setSource(0, "127.0.0.42");
        QVERIFY(!m_win->isPlaying());
        QVERIFY(m_win->currentFrame().isNull());
        play("127.0.0.42", true);
    }

private:
    void play(const QString &id, bool firstStream);
    void waitForNewFrame()
    {
        const qint64 key = m_win->currentFrame().cacheKey();
        QTRY_VERIFY_WITH_TIMEOUT(m_win->currentFrame().cacheKey() != key, 20000);
    }

    RtspServerProcess m_server;    // /1 and /2
    RtspServerProcess m_onlyFirst; // /1 only
    std::unique_ptr<PreviewWin> m_win;
};

void TestGstPreview::play(const QString &id, bool firstStream)
{
    QSignalSpy shown(m_win.get(), &PreviewWin::firstFrameShown);
    m_win->setSource(0, id);
    m_win->setConnected(true);
    m_win->setFirstStreamChecked(firstStream);
    m_win->onStartBtnClicked();
    QVERIFY(shown.wait(20000));
    QCOMPARE(m_win->currentFrame().size(), firstStream ? QSize(640, 360) : QSize(320, 180));
}

QTEST_MAIN(TestGstPreview)
#include "tst_gstpreview.moc"
