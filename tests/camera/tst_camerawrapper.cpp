#include "ipcamera.h"
#include "storagepaths.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

class TestCameraWrapper : public QObject
{
    Q_OBJECT
private slots:
    // Limit positions (16-bit, two's complement) to tenths of a degree.
    void degreeConversions_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QList<int>>("panLeftRightTiltUpDown");
        QTest::newRow("zero") << 0 << QList<int>{4551, 0, 0, 4551};
        QTest::newRow("0x0200") << 0x0200 << QList<int>{4515, 35, 35, 4515};
        QTest::newRow("0xF670") << 0xF670 << QList<int>{169, 4381, 4381, 169};
        QTest::newRow("0xFF00") << 0xFF00 << QList<int>{17, 4533, 4533, 17};
        QTest::newRow("max") << 0xFFFF << QList<int>{0, 4551, 4551, 0};
    }
    void degreeConversions()
    {
        QFETCH(int, position);
        QFETCH(QList<int>, panLeftRightTiltUpDown);
        IPCamera ip("127.0.0.1", "c", "d");
        QCOMPARE((QList<int>{ip.panLeftToDegree(position), ip.panRightToDegree(position),
                             ip.tiltUpToDegree(position), ip.tiltDownToDegree(position)}),
                 panLeftRightTiltUpDown);
    }

    // A camera id never leads a snapshot path out of the downloads folder.
    void snapshotPathStaysInDownloads_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("ip") << "127.0.0.1"
                            << "snapshot_127.0.0.13.jpg";
        QTest::newRow("host") << "cam-1.studio"
                              << "snapshot_cam-1.studio3.jpg";
        QTest::newRow("parent") << "/../../victim"
                                << "snapshot__.._.._victim3.jpg";
        QTest::newRow("backslash") << "..\\..\\x"
                                   << "snapshot_.._.._x3.jpg";
        QTest::newRow("nul") << QString("a") + QChar(0) + "b"
                             << "snapshot_a_b3.jpg";
        QTest::newRow("dots only") << ".."
                                   << "snapshot_..3.jpg";
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
