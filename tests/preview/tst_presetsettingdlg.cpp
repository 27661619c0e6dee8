#include "appsettings.h"
#include "presetsettingdlg.h"
#include "resources.h"
#include "storagepaths.h"
#include "stylesheeturl.h"
#include "tempdatahome.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

bool isRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

void writeRedImage(const QString &path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QImage img(60, 60, QImage::Format_RGB32);
    img.fill(Qt::red);
    QVERIFY(img.save(path, "JPG"));
}

// Inside a 60 x 60 image centred in `w`, below the label's own text.
QRgb imagePixel(QWidget *w)
{
    const QImage shot = w->grab().toImage();
    return shot.pixel(shot.width() / 2, shot.height() / 2 + 20);
}

} // namespace

class TestPresetSettingDlg : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Resources::init(); }
    void init();
    void cleanup();
    void actionSignals_data();
    void actionSignals();
    void padPressAndRelease_data();
    void padPressAndRelease();
    void heldPadReleasedExactlyOnce_data();
    void heldPadReleasedExactlyOnce();
    void thumbnailAndNameFollowCamera();
    void removeStaysInDownloads_data();
    void removeStaysInDownloads();
    void styleSheetUrlQuoting_data();
    void styleSheetUrlQuoting();

private:
    // "name(arg,...)" of every signal of the dialog since the last call.
    QStringList takeEmitted();
    QPushButton *button(const char *name) { return m_dlg->findChild<QPushButton *>(name); }

    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PresetSettingDlg> m_dlg;
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
};

void TestPresetSettingDlg::init()
{
    m_home = std::make_unique<TempDataHome>();
    m_settings = std::make_unique<AppSettings>();
    m_dlg = std::make_unique<PresetSettingDlg>(m_settings.get());
    m_spies.clear();
    const QMetaObject &mo = PresetSettingDlg::staticMetaObject;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        if (mo.method(i).methodType() == QMetaMethod::Signal)
            m_spies.push_back(std::make_unique<QSignalSpy>(m_dlg.get(), mo.method(i)));
    m_dlg->setCamera(0, QStringLiteral("10.0.0.7"));
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    QCOMPARE(m_dlg->size(), QSize(494, 237)); // the form fits its window
}

void TestPresetSettingDlg::cleanup()
{
    m_spies.clear();
    m_dlg.reset();
    m_settings.reset();
    m_home.reset();
}

QStringList TestPresetSettingDlg::takeEmitted()
{
    QStringList out;
    for (auto &spy : m_spies) {
        for (const QList<QVariant> &args : qAsConst(*spy)) {
            QStringList texts;
            for (const QVariant &a : args)
                texts << a.toString();
            out << QString::fromLatin1(spy->signal().mid(0, spy->signal().indexOf('('))) + '(' +
                       texts.join(',') + ')';
        }
        spy->clear();
    }
    return out;
}

void TestPresetSettingDlg::actionSignals_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("emitted");
    QTest::newRow("call 27") << "27"
                             << "x"
                             << "callBtn"
                             << "recallPreset(27)";
    QTest::newRow("set, empty name") << "5"
                                     << ""
                                     << "setBtn"
                                     << "setPreset(5,)";
    QTest::newRow("set 127 named") << "127"
                                   << "Stage left"
                                   << "setBtn"
                                   << "setPreset(127,Stage left)";
    QTest::newRow("clear image 1") << "1"
                                   << ""
                                   << "clearImageBtn"
                                   << "clearImage(1)";
    QTest::newRow("clear preset 64") << "64"
                                     << ""
                                     << "clearPresetBtn"
                                     << "clearPreset(64)";
}

void TestPresetSettingDlg::actionSignals()
{
    QFETCH(QString, preset);
    QFETCH(QString, name);
    QFETCH(QString, buttonName);
    QFETCH(QString, emitted);
    auto *combo = m_dlg->findChild<QComboBox *>("presetCmb");
    combo->setCurrentIndex(combo->findText(preset));
    m_dlg->findChild<QLineEdit *>("presetEdit")->setText(name);
    QTest::mouseClick(button(qPrintable(buttonName)), Qt::LeftButton);
    QCOMPARE(takeEmitted(), QStringList{emitted});
}

void TestPresetSettingDlg::padPressAndRelease_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("onPress");
    QTest::addColumn<QString>("onRelease");
    QTest::newRow("up") << "upBtn"
                        << "moveUpPress()"
                        << "moveUpRelease()";
    QTest::newRow("down") << "downBtn"
                          << "moveDownPress()"
                          << "moveDownRelease()";
    QTest::newRow("left") << "leftBtn"
                          << "moveLeftPress()"
                          << "moveLeftRelease()";
    QTest::newRow("right") << "rightBtn"
                           << "moveRightPress()"
                           << "moveRightRelease()";
    QTest::newRow("zoom in") << "inBtn"
                             << "zoomInPress()"
                             << "zoomInRelease()";
    QTest::newRow("zoom out") << "outBtn"
                              << "zoomOutPress()"
                              << "zoomOutRelease()";
    QTest::newRow("home acts on press") << "homeBtn"
                                        << "moveHome()"
                                        << "";
}

void TestPresetSettingDlg::padPressAndRelease()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, onPress);
    QFETCH(QString, onRelease);
    QTest::mousePress(button(qPrintable(buttonName)), Qt::LeftButton);
    QCOMPARE(takeEmitted(), QStringList{onPress});
    QTest::mouseRelease(button(qPrintable(buttonName)), Qt::LeftButton);
    QCOMPARE(takeEmitted(), onRelease.isEmpty() ? QStringList() : QStringList{onRelease});
}

void TestPresetSettingDlg::heldPadReleasedExactlyOnce_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<bool>("releasesEarly");
    QTest::newRow("hidden") << "hide" << true;
    QTest::newRow("closed") << "close" << true;
    QTest::newRow("camera gone") << "none" << true;
    QTest::newRow("camera switched") << "switch" << true;
    QTest::newRow("same camera again") << "same" << false;
}

void TestPresetSettingDlg::heldPadReleasedExactlyOnce()
{
    QFETCH(QString, event);
    QFETCH(bool, releasesEarly);
    QPushButton *in = button("inBtn");
    QTest::mousePress(in, Qt::LeftButton);
    QCOMPARE(takeEmitted(), QStringList{"zoomInPress()"});

    if (event == "hide")
        m_dlg->hide();
    else if (event == "close")
        m_dlg->close();
    else if (event == "none")
        m_dlg->setCamera(0, QString());
    else if (event == "switch")
        m_dlg->setCamera(0, QStringLiteral("10.0.0.8"));
    else
        m_dlg->setCamera(0, QStringLiteral("10.0.0.7"));
    const QStringList early = releasesEarly ? QStringList{"zoomInRelease()"} : QStringList();
    QCOMPARE(takeEmitted(), early);

    // Letting go of the mouse afterwards adds no second stop.
    QTest::mouseRelease(in, Qt::LeftButton);
    QCOMPARE(takeEmitted(), releasesEarly ? QStringList() : QStringList{"zoomInRelease()"});
}

void TestPresetSettingDlg::thumbnailAndNameFollowCamera()
{
    const QString cam = QStringLiteral("10.0.0.7");
    m_settings->setPresetName(cam, 3, QStringLiteral("Pulpit"));
    writeRedImage(Storage::snapshotPath(cam, 3));
    auto *combo = m_dlg->findChild<QComboBox *>("presetCmb");
    auto *edit = m_dlg->findChild<QLineEdit *>("presetEdit");
    auto *img = m_dlg->findChild<QLabel *>("imgLbl");

    combo->setCurrentIndex(2);
    QCOMPARE(edit->text(), QStringLiteral("Pulpit"));
    QVERIFY(isRed(imagePixel(img)));

    QVERIFY(PresetSettingDlg::removePresetImage(cam, 3));
    m_dlg->updatePresetImage(4); // another preset: nothing reloads
    QVERIFY(isRed(imagePixel(img)));
    m_dlg->updatePresetImage(3);
    QVERIFY(!isRed(imagePixel(img)));

    // Losing the camera keeps what is shown; another camera shows its preset 1,
    // and the combo says so.
    m_dlg->setCamera(0, QString());
    QCOMPARE(edit->text(), QStringLiteral("Pulpit"));
    m_settings->setPresetName(QStringLiteral("10.0.0.8"), 1, QStringLiteral("Wide"));
    m_dlg->setCamera(0, QStringLiteral("10.0.0.8"));
    QCOMPARE(combo->currentText(), QStringLiteral("1"));
    QCOMPARE(edit->text(), QStringLiteral("Wide"));
}

void TestPresetSettingDlg::removeStaysInDownloads_data()
{
    QTest::addColumn<QString>("cameraId");
    QTest::addColumn<QString>("outside"); // where a naive join would point
    QTest::newRow("camera id") << "10.0.0.7"
                               << "";
    QTest::newRow("climbs out") << "/../../x"
                                << "/x2.jpg";
}

void TestPresetSettingDlg::removeStaysInDownloads()
{
    QFETCH(QString, cameraId);
    QFETCH(QString, outside);
    const QString thumb = Storage::snapshotPath(cameraId, 2);
    QCOMPARE(QFileInfo(thumb).absolutePath(), QDir(Storage::downloadsFolder()).absolutePath());
    writeRedImage(thumb);
    const QString decoy = Storage::userFolder() + outside;
    if (!outside.isEmpty())
        writeRedImage(decoy);

    QVERIFY(PresetSettingDlg::removePresetImage(cameraId, 2));
    QVERIFY(!QFile::exists(thumb));
    QVERIFY(!PresetSettingDlg::removePresetImage(cameraId, 2)); // nothing left: no error
    if (!outside.isEmpty())
        QVERIFY(QFile::exists(decoy));
}

void TestPresetSettingDlg::styleSheetUrlQuoting_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("usable");
    QTest::newRow("plain") << "plain" << true;
    QTest::newRow("quote") << "it's" << true;
    QTest::newRow("quote before hex digits") << "x'41" << true;
    QTest::newRow("injection") << "a');}QLabel{background:blue;}/*" << true;
    QTest::newRow("brackets and double quote") << "p)a\"r;}" << true;
    QTest::newRow("backslash") << "back\\41slash" << false;
    QTest::newRow("line break") << "line\nbreak" << false;
}

void TestPresetSettingDlg::styleSheetUrlQuoting()
{
    QFETCH(QString, folder);
    QFETCH(bool, usable);
    const QString path = m_home->path() + '/' + folder + "/img.jpg";
    writeRedImage(path);
    const QString url = StyleSheet::url(path);
    QCOMPARE(url.isEmpty(), !usable);
    if (!usable)
        return;
    QLabel label;
    label.resize(200, 200);
    label.setStyleSheet("QLabel{\timage : " + url + ";\n}");
    const QImage shot = label.grab().toImage();
    QVERIFY(isRed(shot.pixel(100, 100)));
    QVERIFY(qRed(shot.pixel(2, 2)) > 100); // no blue background: no rule of the path's own
}

QTEST_MAIN(TestPresetSettingDlg)
#include "tst_presetsettingdlg.moc"
