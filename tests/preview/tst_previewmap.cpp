// The image preview map over a playing preview: boxes dragged and clicked,
// edits stored per camera and shown again after a restart, bad settings.
// Mouse events go through the window, so a move reaches the widget that took
// the press, as on screen.
#define QTEST_QPA_MOUSE_HANDLING

#include "absback.h"
#include "appsettings.h"
#include "boundingbox.h"
#include "boundingboxsettings.h"
#include "fakemediaplayer.h"
#include "previewmap.h"
#include "previewwin.h"
#include "resources.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString kCam = QStringLiteral("127.0.1.5");
}

class TestPreviewMap : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Resources::init(); }
    void init()
    {
        m_home = std::make_unique<TempDataHome>();
        m_settings = std::make_unique<AppSettings>();
        build();
    }
    void cleanup()
    {
        m_win.reset();
        m_preview.reset();
        m_settings.reset();
        m_home.reset();
    }

    // A drag stores the box's offset from the centre, kept on resize, and
    // recalls nothing; a click recalls preset 100 + n. A drag ending on the
    // centre is "not placed": the next layout puts the box back on the grid.
    void dragAndClick()
    {
        startPlaying();
        QVERIFY(!box(1)->isVisible()); // nothing stored: overlay hidden
        click("showHideBoxes");
        QCOMPARE(box(5)->pos() + QPoint(65, 40), centre()); // the grid is centred
        QSignalSpy recall(m_preview.get(), &PreviewWin::presetRequested);
        drag(box(5), box(5)->pos() + QPoint(70, -50));
        const QPoint offset = m_settings->customPresetPos(kCam, 5);
        QVERIFY(offset == box(5)->pos() - centre() && offset == QPoint(70 - 65, -50 - 40));
        m_preview->resize(1100, 700);
        QTRY_COMPARE(box(5)->pos() - centre(), offset);
        QTest::mouseClick(box(3), Qt::LeftButton);
        QCOMPARE(recall, QList<QVariantList>{{103}});
        drag(box(2), centre());
        QCOMPARE(m_settings->customPresetPos(kCam, 2), QPoint(0, 0));
        m_preview->boundingBoxSizeMove();
        QVERIFY(box(2)->x() == box(8)->x() && box(2)->y() < box(8)->y());
        click("showHidePictureInPicture"); // dragged the same way
        drag(m_preview->findChild<QWidget *>("pictureInPictureFrame")->parentWidget(), {100, 50});
        QCOMPARE(m_settings->pictureInPicturePos(kCam), QPoint(100, 50) - centre());
        click("resetBtn");
        QCOMPARE(m_settings->pictureInPicturePos(kCam), QPoint(0, 0));
        QCOMPARE(m_settings->customPresetPos(kCam, 5), QPoint(0, 0));
    }

    // Colour, centre mark, title (shown cut to 15 characters), a box hidden
    // alone and the background image, shown again after a restart.
    void editsStoredAndReloaded()
    {
        startPlaying();
        QSignalSpy store(m_win.get(), &BoundingBoxSettings::storePresetRequested);
        click("showHideBoxes");
        for (const QColor &pick : {QColor(Qt::green), QColor()}) { // the second cancelled
            m_pick = pick;
            click("customPreset2");
            click("chooseColorBtn");
        }
        click("showCenterDiamondBtn");
        m_win->findChild<QLineEdit *>("presetTitleLabel")->setText("A title of twenty ch");
        click("setPresetBtn");
        for (const char *b : {"customPreset3", "showHideCurBox", "fileBackBtn"})
            click(b);
        QCOMPARE(store.size(), 1);
        QCOMPARE(store[0][0].toInt(), 102);
        m_settings->sync();
        QSettings raw(m_settings->fileName(), QSettings::IniFormat);
        QCOMPARE(raw.value("snapshotboxcolor_b" + kCam + "2").toInt(), 255); // green
        QCOMPARE(raw.value("snapshotboxcolor_g" + kCam + "2").toInt(), 0);
        build();
        startPlaying();
        QCOMPARE(box(2)->grab().toImage().pixelColor(10, 70), QColor(Qt::green));
        QCOMPARE(box(2)->findChild<QLabel *>("centerLabel")->text(), QString("*"));
        QCOMPARE(box(2)->title(), QString("A title of twen"));
        QCOMPARE(m_settings->customPresetTitle(kCam, 2), QString("A title of twenty ch"));
        QVERIFY(!box(3)->isVisible() && box(4)->isVisible());
        QVERIFY(m_preview->backgroundLayer()->backWidget()->styleSheet().contains("/srv/back.png"));
    }

    void snapshotNamesStayInDownloads()
    {
        const QString downloads = Storage::downloadsFolder() + "/snapshot_";
        QCOMPARE(mapBackgroundSnapshotPath("../..\\x y"), downloads + ".._.._x_y_back.png");
        QCOMPARE(mapBoxSnapshotPath("../..\\x y", 3), downloads + ".._.._x_y_3_back.png");
    }

    // A file name that would end an unescaped string and add a rule.
    void pathInStyleSheetQuoted()
    {
        const QString path = m_home->path() + "/a'b\\c\"d);}QWidget{background:blue}.png";
        QImage red(400, 400, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(path, "png"));
        BoundingBox b;
        b.clearFill();
        b.setImage(path);
        b.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        QCOMPARE(b.grab().toImage().pixelColor(30, 70), QColor(Qt::red)); // scaled, centred
    }

    // Values out of range or of the wrong type fall back; a title is plain text.
    void garbageSettings()
    {
        QFile file(m_settings->fileName());
        m_settings.reset();
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString id = kCam;
        file.write(("[General]\nwrappervisibility" + id + "=true\nsnapshotbacktype" + id +
                    "=5\nsnapshotboxtype" + id + "1=7\ncentertype" + id + "1=-3\ncustompresetpos" +
                    id + "1=@Point(99999999 5)\npictureinpicturepos" + id +
                    "=abc\nsnapshotboxtype" + id + "2=2\nsnapshotboxcolor_r" + id +
                    "2=999\nsnapshotboxcolor_g" + id + "2=x\ncustompresettitle" + id +
                    "3=<b>bold</b>\n\x01\x02garbage\n")
                       .toUtf8());
        file.close();
        m_settings = std::make_unique<AppSettings>();
        build();
        startPlaying();
        QVERIFY(!m_preview->backgroundLayer()->isVisible());
        QVERIFY(box(1)->fillStyle().contains("transback.png"));
        QCOMPARE(box(1)->findChild<QLabel *>("centerLabel")->text(), QString(" "));
        QVERIFY(box(1)->x() == box(4)->x() && box(1)->x() < box(2)->x());
        QCOMPARE(box(2)->fillStyle(), QString("QWidget#backWidget{background: rgb(255,0,0);}"));
        auto *title = box(3)->findChild<QLabel *>("presetNameLabel");
        QVERIFY(title->text() == "<b>bold</b>" && title->textFormat() == Qt::PlainText);
    }

private:
    // A fresh preview and map over the same settings file.
    void build()
    {
        m_win.reset();
        auto player = std::make_unique<FakePlayer>(std::make_shared<QStringList>());
        m_player = player.get();
        m_preview = std::make_unique<PreviewWin>(std::move(player));
        m_preview->setOverlayRefreshDelay(0);
        m_win = std::make_unique<BoundingBoxSettings>(m_settings.get(), m_preview.get());
        m_win->map()->setFileDialog(
            [](QWidget *, const QString &) { return QStringLiteral("/srv/back.png"); });
        m_win->map()->setColorDialog(
            [this](QWidget *, const QColor &, const QString &) { return m_pick; });
        m_preview->resize(900, 600);
        m_preview->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_preview.get()));
    }
    void startPlaying()
    {
        m_preview->setSource(0, kCam);
        m_preview->setConnected(true);
        m_win->setCamera(0, kCam, true);
        m_preview->onStartBtnClicked();
        emit m_player->frameReady(QImage(64, 36, QImage::Format_RGB32));
    }
    BoundingBox *box(int n) const { return m_preview->boundingBox(n); }
    QPoint centre() const
    {
        return QPoint(m_preview->playerArea()->width() / 2, m_preview->playerArea()->height() / 2);
    }
    void click(const char *button) { m_win->findChild<QPushButton *>(button)->click(); }
    // Drags `widget` by a grip until its top-left is at `to` in the player area.
    void drag(QWidget *widget, QPoint to)
    {
        const QPoint grip(20, 40);
        QTest::mousePress(widget, Qt::LeftButton, {}, grip);
        QTest::mouseMove(m_preview->playerArea(), to + grip);
        QTest::mouseRelease(m_preview->playerArea(), Qt::LeftButton, {}, to + grip);
    }

    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PreviewWin> m_preview;
    std::unique_ptr<BoundingBoxSettings> m_win;
    FakePlayer *m_player = nullptr;
    QColor m_pick;
};

QTEST_MAIN(TestPreviewMap)
#include "tst_previewmap.moc"
