#include "ipcamera.h"
#include "storagepaths.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

class TestCameraWrapper : public QObject
{
    Q_OBJECT
private slots:
    // A camera id never leads a snapshot path out of the downloads folder.
    void snapshotPathStaysInDownloads_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("fileName");
        auto row = [](const char *name, const QString &id, const char *fileName) {
            QTest::newRow(name) << id << QString(fileName);
        };
        row("ip", "127.0.0.1", "snapshot_127.0.0.13.jpg");
        row("host", "cam-1.studio", "snapshot_cam-1.studio3.jpg");
        row("parent", "/../../victim", "snapshot__.._.._victim3.jpg");
        row("backslash", "..\\..\\x", "snapshot_.._.._x3.jpg");
        row("nul", QString("a") + QChar(0) + "b", "snapshot_a_b3.jpg");
        row("dots only", "..", "snapshot_..3.jpg");
    }
    void snapshotPathStaysInDownloads()
    {
        QFETCH(QString, id);
        QFETCH(QString, fileName);
        const QString path = QDir::cleanPath(Storage::snapshotPath(id, 3));
        QCOMPARE(QFileInfo(path).absolutePath(), QDir::cleanPath(Storage::downloadsFolder()));
        QVERIFY(path.startsWith(Storage::appDataFolder() + "/corvanta-controller/downloads/"));
        QCOMPARE(QFileInfo(path).fileName(), fileName);
    }
};

QTEST_GUILESS_MAIN(TestCameraWrapper)
#include "tst_camerawrapper.moc"
