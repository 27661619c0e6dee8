// Every image the program's code names (style sheets, forms, pixmaps) is in
// the embedded tree and loads.
#include "resources.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Resources::init(); }
    void namedResourcesExist_data();
    void namedResourcesExist();
};

void TestResources::namedResourcesExist_data()
{
    QTest::addColumn<QString>("path");
    const QRegularExpression ref(
        QStringLiteral(":/corvanta-assets/[A-Za-z0-9_./-]*\\.(png|jpg|svg|gif|ico)"));
    QSet<QString> seen;
    for (const char *dir : {"app", "ui", "web", "preview", "camera", "input", "switchers"}) {
        QDirIterator it(QStringLiteral(CORVANTA_SOURCE_DIR "/") + QLatin1String(dir),
                        {"*.cpp", "*.h", "*.ui"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(f.readAll());
            for (auto m = ref.globalMatch(text); m.hasNext();) {
                const QString path = m.next().captured();
                if (!seen.contains(path)) {
                    seen.insert(path);
                    QTest::newRow(qPrintable(path)) << path;
                }
            }
        }
    }
    QVERIFY(!seen.isEmpty());
}

void TestResources::namedResourcesExist()
{
    QFETCH(QString, path);
    QVERIFY2(QFile::exists(path), qPrintable(path));
    QVERIFY(!QImage(path).isNull());
}

QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
