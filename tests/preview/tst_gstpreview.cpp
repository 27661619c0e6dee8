// The preview window with the production player against a real RTSP server on
// 127.0.0.41:554: /1 at 640x360, /2 at 320x180, so the picture tells which
// stream plays; /3 does not exist.
#include "previewwin.h"
#include "rtspserverprocess.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestGstPreview : public QObject
{
    Q_OBJECT
private slots:
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
