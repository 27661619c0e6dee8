// Every image the program's code names (style sheets, forms, pixmaps) is in
// the embedded tree and loads.
#include "resources.h"

#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void namedResourcesLoad()
    {
        Resources::init();
        const QRegularExpression ref(":/corvanta-assets/[A-Za-z0-9_./-]*\\.(png|jpg|svg|gif|ico)");
        int named = 0;
        for (const char *dir : {"app", "ui", "web", "preview", "camera", "input", "switchers"}) {
            QDirIterator it(QStringLiteral(CORVANTA_SOURCE_DIR "/") + dir, {"*.cpp", "*.h", "*.ui"},
                            QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile f(it.next());
                QVERIFY(f.open(QIODevice::ReadOnly));
                for (auto m = ref.globalMatch(QString::fromUtf8(f.readAll())); m.hasNext();
                     ++named) {
                    const QString path = m.next().captured();
                    QVERIFY2(!QImage(path).isNull(), qPrintable(path + " in " + f.fileName()));
                }
            }
        }
        QVERIFY(named > 0);
    }
};

QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
