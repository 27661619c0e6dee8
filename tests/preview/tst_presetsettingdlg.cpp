// The preset setting dialog: what each button signals, that a held pad button
// is released exactly once, the preset's name and thumbnail per camera, and
// thumbnail paths that stay where they belong.
#include "appsettings.h"
#include "presetsettingdlg.h"
#include "resources.h"
#include "storagepaths.h"
#include "stylesheeturl.h"
#include "tempdatahome.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

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

} // namespace

class TestPresetSettingDlg : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Resources::init(); }
    void init()
    {
        m_home = std::make_unique<TempDataHome>();
        m_settings = std::make_unique<AppSettings>();
        m_dlg = std::make_unique<PresetSettingDlg>(m_settings.get());
        const QMetaObject &mo = PresetSettingDlg::staticMetaObject;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
            if (mo.method(i).methodType() == QMetaMethod::Signal)
                m_spies.push_back(std::make_unique<QSignalSpy>(m_dlg.get(), mo.method(i)));
        }
        m_dlg->setCamera(0, QStringLiteral("127.0.1.7"));
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    }
    void cleanup()
    {
        m_spies.clear();
        m_dlg.reset();
        m_settings.reset();
        m_home.reset();
    }

    void buttonSignals_data()
    {
        // Preset chosen, name entered, button; signals at its press, at its release.
        QTest::addColumn<QStringList>("row");
        QTest::newRow("call") << QStringList{"27", "x", "callBtn", "", "recallPreset(27)"};
        QTest::newRow("set, no name") << QStringList{"5", "", "setBtn", "", "setPreset(5,)"};
        QTest::newRow("set") << QStringList{"127", "Stage left", "setBtn", "",
                                            "setPreset(127,Stage left)"};
        QTest::newRow("clear image") << QStringList{"1", "", "clearImageBtn", "", "clearImage(1)"};
        QTest::newRow("clear preset")
            << QStringList{"64", "", "clearPresetBtn", "", "clearPreset(64)"};
        for (const char *stem :
             {"moveUp", "moveDown", "moveLeft", "moveRight", "zoomIn", "zoomOut"}) {
            const QString button =
                QString(stem).remove(QRegularExpression("^(move|zoom)")).toLower();
            QTest::newRow(stem) << QStringList{"1", "", button + "Btn", stem + QString("Press()"),
                                               stem + QString("Release()")};
        }
        QTest::newRow("home, on press only") << QStringList{"1", "", "homeBtn", "moveHome()", ""};
    }
    void buttonSignals()
    {
        QFETCH(QStringList, row);
        combo()->setCurrentIndex(combo()->findText(row[0]));
        edit()->setText(row[1]);
        QTest::mousePress(button(row[2]), Qt::LeftButton);
        QCOMPARE(takeEmitted().join(""), row[3]);
        QTest::mouseRelease(button(row[2]), Qt::LeftButton);
        QCOMPARE(takeEmitted().join(""), row[4]);
    }

    void heldPadReleasedOnce_data()
    {
        QTest::addColumn<QString>("event");
        QTest::newRow("hidden") << "hide";
        QTest::newRow("closed") << "close";
        QTest::newRow("deactivated") << "deactivate";
        QTest::newRow("camera gone") << "";
        QTest::newRow("camera switched") << "127.0.1.8";
        QTest::newRow("same camera again") << "127.0.1.7";
    }
    // A held pad button ends in exactly one release, early when the dialog
    // goes away or its camera changes.
    void heldPadReleasedOnce()
    {
        QFETCH(QString, event);
        QWidget other;
        QTest::mousePress(button("inBtn"), Qt::LeftButton);
        QCOMPARE(takeEmitted(), QStringList{"zoomInPress()"});
        if (event == "hide") {
            m_dlg->hide();
        } else if (event == "close") {
            m_dlg->close();
        } else if (event == "deactivate") {
            QApplication::setActiveWindow(m_dlg.get());
            QTRY_VERIFY(m_dlg->isActiveWindow());
            other.show();
            QApplication::setActiveWindow(&other);
            QTRY_VERIFY(!m_dlg->isActiveWindow());
        } else {
            m_dlg->setCamera(0, event);
        }
        const QStringList early = takeEmitted();
        QTest::mouseRelease(button("inBtn"), Qt::LeftButton);
        QCOMPARE(early + takeEmitted(), QStringList{"zoomInRelease()"});
        QCOMPARE(early.isEmpty(), event == "127.0.1.7");
    }

    // No camera keeps what is shown; another camera shows its preset 1 and the
    // list says so, so Set cannot store one preset's name under another.
    void thumbnailAndNameFollowCamera()
    {
        const QString cam = QStringLiteral("127.0.1.7");
        m_settings->setPresetName(cam, 3, QStringLiteral("Pulpit"));
        writeRedImage(Storage::snapshotPath(cam, 3));
        auto *img = m_dlg->findChild<QLabel *>("imgLbl");
        combo()->setCurrentIndex(2);
        QCOMPARE(edit()->text(), QStringLiteral("Pulpit"));
        QVERIFY(isRed(imagePixel(img)));
        QVERIFY(PresetSettingDlg::removePresetImage(cam, 3));
        m_dlg->updatePresetImage(4); // another preset: nothing reloads
        QVERIFY(isRed(imagePixel(img)));
        m_dlg->updatePresetImage(3);
        QVERIFY(!isRed(imagePixel(img)));
        m_dlg->setCamera(0, QString());
        QCOMPARE(edit()->text(), QStringLiteral("Pulpit"));
        m_settings->setPresetName(QStringLiteral("127.0.1.8"), 1, QStringLiteral("Wide"));
        m_dlg->setCamera(0, QStringLiteral("127.0.1.8"));
        QCOMPARE(combo()->currentText() + edit()->text(), QStringLiteral("1Wide"));
    }

    // An id that would climb out of downloads/ if joined naively.
    void removeStaysInDownloads()
    {
        const QString thumb = Storage::snapshotPath("/../../x", 2);
        const QString outside = Storage::userFolder() + "/x2.jpg";
        writeRedImage(thumb);
        writeRedImage(outside);
        QVERIFY(PresetSettingDlg::removePresetImage("/../../x", 2));
        QVERIFY(!QFile::exists(thumb) && QFile::exists(outside));
        QVERIFY(!PresetSettingDlg::removePresetImage("/../../x", 2)); // nothing left, no error
    }

    void styleSheetUrlQuoting_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("usable");
        QTest::newRow("injection") << "a');}QLabel{background:blue;}/*" << true;
        QTest::newRow("backslash") << "back\\41slash" << false;
    }
    // The image is shown and no rule of the path's own applies (not blue).
    void styleSheetUrlQuoting()
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
        QVERIFY(isRed(shot.pixel(100, 100)) && qRed(shot.pixel(2, 2)) > 100);
    }

private:
    QPushButton *button(const QString &name) { return m_dlg->findChild<QPushButton *>(name); }
    QComboBox *combo() { return m_dlg->findChild<QComboBox *>("presetCmb"); }
    QLineEdit *edit() { return m_dlg->findChild<QLineEdit *>("presetEdit"); }
    // Inside a 60 x 60 image centred in `w`, below the label's own text.
    static QRgb imagePixel(QWidget *w)
    {
        const QImage shot = w->grab().toImage();
        return shot.pixel(shot.width() / 2, shot.height() / 2 + 20);
    }
    // "name(arg,...)" of every signal of the dialog since the last call.
    QStringList takeEmitted()
    {
        QStringList out;
        for (auto &spy : m_spies) {
            const QByteArray name = spy->signal().left(spy->signal().indexOf('('));
            for (const QList<QVariant> &args : qAsConst(*spy)) {
                QStringList texts;
                for (const QVariant &a : args)
                    texts << a.toString();
                out << QString::fromLatin1(name) + '(' + texts.join(',') + ')';
            }
            spy->clear();
        }
        return out;
    }

    std::unique_ptr<TempDataHome> m_home;
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<PresetSettingDlg> m_dlg;
    std::vector<std::unique_ptr<QSignalSpy>> m_spies;
};

QTEST_MAIN(TestPresetSettingDlg)
#include "tst_presetsettingdlg.moc"
