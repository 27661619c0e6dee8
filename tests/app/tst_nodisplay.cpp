// The program started where no display can be opened: one line on stderr
// saying so, and a non-zero exit status (not Qt's abort).
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestNoDisplay : public QObject
{
    Q_OBJECT
private slots:
    void startWithoutDisplay_data();
    void startWithoutDisplay();
};

void TestNoDisplay::startWithoutDisplay_data()
{
    QTest::addColumn<QString>("display");
    QTest::newRow("DISPLAY unset") << QString();
    QTest::newRow("no server at DISPLAY") << QStringLiteral(":937");
}

void TestNoDisplay::startWithoutDisplay()
{
    QFETCH(QString, display);
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(CORVANTA_EXECUTABLE), QStringList());
    QVERIFY(program.waitForFinished(60000));
    const QList<QByteArray> lines = program.readAllStandardError().trimmed().split('\n');
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.at(0).contains("no display"), lines.at(0).constData());
}

QTEST_GUILESS_MAIN(TestNoDisplay)
#include "tst_nodisplay.moc"
