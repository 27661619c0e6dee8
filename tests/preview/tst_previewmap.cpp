// Routes QTest mouse events through the window, so a move carries the held
// button and reaches the widget that took the press, as on screen.
#define QTEST_QPA_MOUSE_HANDLING

#include "absback.h"
#include "appsettings.h"
#include "boundingbox.h"
#include "boundingboxsettings.h"
#include "mediaplayer.h"
#include "previewmap.h"
#include "previewwin.h"
#include "resources.h"
#include "storagepaths.h"
#include "tempdatahome.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QString kCam = QStringLiteral("127.0.1.5");

class StillPlayer : public MediaPlayer
{
public:
    bool start(const MediaSource &) override { return true; }
    void stop() override {}
};

} // namespace

class TestPreviewMap : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Resources::init(); }
    void init();
    void cleanup();
    void gridDragAndClick();
    void cameraChangedMidEdit();
    void editsStoredAndReloaded();
    void editsNeedConnectedCameraAndSelection_data();
    void editsNeedConnectedCameraAndSelection();
    void snapshotNamesStayInDownloads_data();
    void snapshotNamesStayInDownloads();
    void pathInStyleSheetQuoted();
    void garbageSettings();

private:
    void build(); // a fresh preview and map over the same settings file
    void startPlaying();
    BoundingBox *box(int n) const { return m_preview->boundingBox(n); }
    QPoint centre() const;
    void click(const char *button) { m_win->findChild<QPushButton *>(button)->click(); }
    QStringList messages() const;

    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PreviewWin> m_preview;
    std::unique_ptr<BoundingBoxSettings> m_win;
    StillPlayer *m_player = nullptr;
    QColor m_pick;
    QStringList m_dialogs;
};

void TestPreviewMap::init()
{
    m_home = std::make_unique<TempDataHome>();
    m_dialogs.clear();
    m_settings = std::make_unique<AppSettings>();
    build();
}

void TestPreviewMap::cleanup()
{
    m_win.reset();
    m_preview.reset();
    m_settings.reset();
    m_home.reset();
    for (QWidget *w : QApplication::topLevelWidgets())
        delete qobject_cast<QMessageBox *>(w);
}

void TestPreviewMap::build()
{
    m_win.reset();
    auto player = std::make_unique<StillPlayer>();
    m_player = player.get();
    m_preview = std::make_unique<PreviewWin>(std::move(player));
    m_preview->setOverlayRefreshDelay(0);
    m_win = std::make_unique<BoundingBoxSettings>(m_settings.get(), m_preview.get());
    m_win->map()->setFileDialog([this](QWidget *, const QString &title) {
        m_dialogs << title;
        return QStringLiteral("/srv/back.png");
    });
    m_win->map()->setColorDialog([this](QWidget *, const QColor &initial, const QString &title) {
        m_dialogs << title + " " + initial.name();
        return m_pick;
    });
    m_preview->resize(900, 600);
    m_preview->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_preview.get()));
}

void TestPreviewMap::startPlaying()
{
    m_preview->setSource(0, kCam);
    m_preview->setConnected(true);
    m_win->setCamera(0, kCam, true);
    m_preview->onStartBtnClicked();
    QImage frame(64, 36, QImage::Format_RGB32);
    frame.fill(Qt::blue);
    emit m_player->frameReady(frame);
}

QPoint TestPreviewMap::centre() const
{
    const QWidget *area = m_preview->playerArea();
    return QPoint(area->width() / 2, area->height() / 2);
}

QStringList TestPreviewMap::messages() const
{
    QStringList texts;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            texts << (box->isModal() ? "modal " : "") + box->windowTitle() + ": " + box->text();
    }
    return texts;
}

void TestPreviewMap::gridDragAndClick()
{
    startPlaying();
    QVERIFY(!box(1)->isVisible()); // nothing stored: overlay hidden
    click("showHideBoxes");
    for (int n = 1; n <= 9; ++n) {
        QVERIFY(box(n)->isVisible());
        QCOMPARE(box(n)->title(), QString("Custom Preset%1").arg(n));
    }
    QCOMPARE(box(1)->findChild<QLabel *>("centerLabel")->text(), QString(" "));
    // The grid is centred: box 5 sits on the centre, box 1 up and left of it.
    QCOMPARE(box(5)->pos() + QPoint(65, 40) - centre(), QPoint(0, 0));
    QVERIFY(box(1)->x() < box(2)->x() && box(1)->y() < box(4)->y());

    QSignalSpy recall(m_preview.get(), &PreviewWin::presetRequested);
    QWidget *area = m_preview->playerArea();
    const QPoint grip(20, 40);
    const QPoint start = box(5)->pos();
    QTest::mousePress(box(5), Qt::LeftButton, {}, grip);
    QTest::mouseMove(area, start + grip + QPoint(30, 20));
    QCOMPARE(m_settings->customPresetPos(kCam, 5), start + QPoint(30, 20) - centre());
    QTest::mouseMove(area, start + grip + QPoint(70, -50));
    QTest::mouseRelease(area, Qt::LeftButton, {}, start + grip + QPoint(70, -50));
    QCOMPARE(box(5)->pos(), start + QPoint(70, -50));
    QCOMPARE(m_settings->customPresetPos(kCam, 5), box(5)->pos() - centre());
    QVERIFY(recall.isEmpty()); // a drag recalls nothing

    // Resizing keeps the distance from the centre.
    const QPoint offset = box(5)->pos() - centre();
    m_preview->resize(1100, 700);
    QTRY_COMPARE(box(5)->pos() - centre(), offset);

    QTest::mouseClick(box(3), Qt::LeftButton);
    QCOMPARE(recall.count(), 1);
    QCOMPARE(recall.at(0).at(0).toInt(), 103);

    // The picture-in-picture view is dragged the same way.
    click("showHidePictureInPicture");
    auto *pip = m_preview->findChild<QWidget *>("pictureInPictureFrame")->parentWidget();
    QCOMPARE(pip->pos(), QPoint(0, 0));
    QTest::mousePress(pip, Qt::LeftButton, {}, grip);
    QTest::mouseMove(area, grip + QPoint(100, 50));
    QTest::mouseRelease(area, Qt::LeftButton, {}, grip + QPoint(100, 50));
    QCOMPARE(m_settings->pictureInPicturePos(kCam), QPoint(100, 50) - centre());

    click("resetBtn");
    QCOMPARE(pip->pos(), QPoint(0, 0));
    QCOMPARE(m_settings->pictureInPicturePos(kCam), QPoint(0, 0));
    QCOMPARE(box(5)->pos() + QPoint(65, 40), centre());
    QCOMPARE(m_settings->customPresetPos(kCam, 5), QPoint(0, 0));

    // A drag ending with the top-left on the centre stores (0, 0): "not
    // placed", so the next layout puts the box back on the grid.
    QTest::mousePress(box(2), Qt::LeftButton, {}, grip);
    QTest::mouseMove(area, centre() + grip);
    QTest::mouseRelease(area, Qt::LeftButton, {}, centre() + grip);
    QCOMPARE(box(2)->pos(), centre());
    QCOMPARE(m_settings->customPresetPos(kCam, 2), QPoint(0, 0));
    m_preview->boundingBoxSizeMove();
    QCOMPARE(box(2)->x(), box(5)->x());
    QVERIFY(box(2)->y() < box(5)->y());
}

void TestPreviewMap::cameraChangedMidEdit()
{
    startPlaying();
    click("showHideBoxes");
    QWidget *area = m_preview->playerArea();
    const QPoint start = box(4)->pos() + QPoint(10, 10);
    QTest::mousePress(box(4), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(area, start + QPoint(5, 5));
    const QPoint stored = m_settings->customPresetPos(kCam, 4);
    m_win->setCamera(-1, QString(), false); // camera list rebuilt
    QTest::mouseMove(area, start + QPoint(40, 40));
    m_win->setCamera(0, "127.0.1.6", true); // another camera selected
    QTest::mouseMove(area, start + QPoint(80, 80));
    QTest::mouseRelease(area, Qt::LeftButton, {}, start + QPoint(80, 80));
    QCOMPARE(m_settings->customPresetPos(kCam, 4), stored);
    QCOMPARE(m_settings->customPresetPos("127.0.1.6", 4), QPoint(0, 0));

    // A camera switch while a dialog is open applies the choice to neither.
    m_win->setCamera(0, kCam, true);
    click("customPreset1");
    m_win->map()->setColorDialog([this](QWidget *, const QColor &, const QString &) {
        m_win->setCamera(0, "127.0.1.6", true);
        return QColor(Qt::red);
    });
    click("chooseColorBtn");
    QCOMPARE(m_settings->snapshotBoxType(kCam, 1) + m_settings->snapshotBoxType("127.0.1.6", 1), 0);
}

void TestPreviewMap::editsStoredAndReloaded()
{
    startPlaying();
    QSignalSpy store(m_win.get(), &BoundingBoxSettings::storePresetRequested);
    click("showHideBoxes");
    click("customPreset2");
    m_pick = QColor(Qt::green);
    click("chooseColorBtn");
    QCOMPARE(box(2)->fillStyle(), QString("QWidget#backWidget{background: rgb(0,255,0);}"));
    m_pick = QColor(); // cancelled: nothing changes
    click("customPreset2");
    click("chooseColorBtn");
    click("showCenterDiamondBtn");
    m_win->findChild<QLineEdit *>("presetTitleLabel")->setText("A title of twenty ch");
    click("setPresetBtn");
    click("customPreset3");
    click("snapShotBoxBtn");
    click("showCrossHairBtn");
    click("showHideCurBox");
    click("customPreset4");
    click("showCrossHairBtn");
    click("removeCenterBtn");
    m_win->findChild<QLineEdit *>("presetTitleLabel")->clear();
    click("setPresetBtn");
    click("fileBackBtn");
    click("showHidePictureInPicture");

    QCOMPARE(m_dialogs, (QStringList{"Select Color #ffff00", "Select Color #ffff00",
                                     "Choose background image"}));
    QCOMPARE(messages(), QStringList{"Corvanta App: Please enter preset title"});
    QCOMPARE(store.count(), 2); // also with the empty title
    QCOMPARE(store.at(0).at(0).toInt(), 102);
    QCOMPARE(store.at(1).at(0).toInt(), 104);
    QCOMPARE(box(2)->title(), QString("A title of twen"));
    QVERIFY(QFile::exists(Storage::downloadsFolder() + "/snapshot_127.0.1.5_3_back.png"));
    m_settings->sync();
    QSettings raw(m_settings->fileName(), QSettings::IniFormat);
    QCOMPARE(raw.value("snapshotboxcolor_b" + kCam + "2").toInt(), 255); // green
    QCOMPARE(raw.value("snapshotboxcolor_g" + kCam + "2").toInt(), 0);

    // A restart shows the same map.
    build();
    startPlaying();
    QCOMPARE(box(2)->grab().toImage().pixelColor(10, 70), QColor(Qt::green));
    QCOMPARE(box(2)->findChild<QLabel *>("centerLabel")->text(), QString("*"));
    QCOMPARE(box(2)->title(), QString("A title of twen"));
    QCOMPARE(m_settings->customPresetTitle(kCam, 2), QString("A title of twenty ch"));
    QVERIFY(box(3)->fillStyle().contains("snapshot_127.0.1.5_3_back.png"));
    QCOMPARE(box(3)->findChild<QLabel *>("centerLabel")->text(), QString("+"));
    QVERIFY(!box(3)->isVisible() && box(4)->isVisible()); // hidden alone, also on refresh
    m_preview->boundingBoxSizeMove();
    QVERIFY(!box(3)->isVisible());
    QCOMPARE(box(4)->findChild<QLabel *>("centerLabel")->text(), QString(" "));
    QCOMPARE(box(4)->title(), QString());
    auto *back = m_preview->backgroundLayer();
    QVERIFY(back->isVisible());
    QVERIFY(back->backWidget()->styleSheet().contains("url('/srv/back.png')"));
    QVERIFY(m_preview->findChild<QWidget *>("pictureInPictureFrame")->isVisible());

    click("liveVideoBackBtn");
    QVERIFY(!back->isVisible());
    QCOMPARE(m_settings->snapshotBackType(kCam), 0);
    m_preview->onStopBtnClicked();
    QVERIFY(!box(4)->isVisible());
    click("snapShotBackBtn");
    QCOMPARE(messages(), QStringList{"Corvanta App: Can not take a snap shot."});
}

void TestPreviewMap::editsNeedConnectedCameraAndSelection_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("not connected") << false
                                   << QStringList{"Corvanta App: Can not set bounding boxes' "
                                                  "property."};
    QTest::newRow("nothing selected") << true << QStringList{};
}

void TestPreviewMap::editsNeedConnectedCameraAndSelection()
{
    QFETCH(bool, connected);
    startPlaying();
    m_win->setCamera(0, kCam, connected);
    QSignalSpy store(m_win.get(), &BoundingBoxSettings::storePresetRequested);
    m_win->findChild<QLineEdit *>("presetTitleLabel")->setText("x");
    const char *buttons[] = {"setPresetBtn",         "chooseColorBtn", "snapShotBoxBtn",
                             "defaultBtn",           "showHideCurBox", "showCrossHairBtn",
                             "showCenterDiamondBtn", "removeCenterBtn"};
    if (!connected)
        click("customPreset1");
    for (const char *b : buttons)
        click(b);
    if (!connected) {
        for (const char *b : {"snapShotBackBtn", "fileBackBtn", "liveVideoBackBtn", "resetBtn",
                              "showHidePictureInPicture", "showHideBoxes"})
            click(b);
    }
    // Edits with box numbers outside 1..9 are ignored.
    m_win->map()->chooseColor(0);
    m_win->map()->setCustomPreset(10, "x");
    QTEST(messages(), "messages");
    QVERIFY(m_dialogs.isEmpty() && store.isEmpty());
    m_settings->sync();
    QSettings raw(m_settings->fileName(), QSettings::IniFormat);
    QCOMPARE(raw.allKeys(), QStringList{});
}

void TestPreviewMap::snapshotNamesStayInDownloads_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("back");
    QTest::addColumn<QString>("box3");
    QTest::newRow("address") << "127.0.1.5"
                             << "snapshot_127.0.1.5_back.png"
                             << "snapshot_127.0.1.5_3_back.png";
    QTest::newRow("separators and spaces") << "../..\\x y"
                                           << "snapshot_.._.._x_y_back.png"
                                           << "snapshot_.._.._x_y_3_back.png";
}

void TestPreviewMap::snapshotNamesStayInDownloads()
{
    QFETCH(QString, id);
    QFETCH(QString, back);
    QFETCH(QString, box3);
    QCOMPARE(mapBackgroundSnapshotPath(id), Storage::downloadsFolder() + "/" + back);
    QCOMPARE(mapBoxSnapshotPath(id, 3), Storage::downloadsFolder() + "/" + box3);
}

void TestPreviewMap::pathInStyleSheetQuoted()
{
    // A file name that would end an unescaped string and add a rule.
    const QString path = m_home->path() + "/a'b\\c\"d);}QWidget{background:blue}.png";
    QImage red(400, 400, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(path, "png"));
    BoundingBox b;
    b.clearFill();
    b.setImage(path);
    b.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b));
    const QImage shot = b.grab().toImage();
    QCOMPARE(shot.pixelColor(30, 70), QColor(Qt::red)); // scaled to fit, centred
}

void TestPreviewMap::garbageSettings()
{
    const QString id = kCam;
    QFile file(m_settings->fileName());
    m_settings.reset();
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(("[General]\nwrappervisibility" + id + "=true\nsnapshotbacktype" + id +
                "=5\nsnapshotboxtype" + id + "1=7\ncentertype" + id + "1=-3\ncustompresetpos" + id +
                "1=@Point(99999999 5)\npictureinpicturepos" + id +
                "=abc\npictureinpicturevisibility" + id + "=[[\nsnapshotboxtype" + id +
                "2=2\nsnapshotboxcolor_r" + id + "2=999\nsnapshotboxcolor_g" + id +
                "2=x\ncustompresettitle" + id + "3=<b>bold</b>\n\x01\x02garbage\n")
                   .toUtf8());
    file.close();
    m_settings = std::make_unique<AppSettings>();
    build();
    startPlaying();
    QVERIFY(!m_preview->backgroundLayer()->isVisible());
    QCOMPARE(box(1)->fillStyle(),
             QString("QWidget#backWidget{background: url(:/corvanta-assets/img/transback.png);}"));
    QCOMPARE(box(1)->findChild<QLabel *>("centerLabel")->text(), QString(" "));
    QCOMPARE(box(1)->pos(), box(4)->pos() - QPoint(0, box(4)->y() - box(1)->y()));
    QVERIFY(box(1)->x() < box(2)->x());
    QCOMPARE(box(2)->fillStyle(), QString("QWidget#backWidget{background: rgb(255,0,0);}"));
    auto *title = box(3)->findChild<QLabel *>("presetNameLabel");
    QCOMPARE(title->text(), QString("<b>bold</b>"));
    QCOMPARE(title->textFormat(), Qt::PlainText);
}

QTEST_MAIN(TestPreviewMap)
#include "tst_previewmap.moc"
