#include "../web/rawhttpclient.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// SIGTERM and SIGINT end a child process through its normal shutdown: a
// setting changed over the web a moment before the signal is in the file.
class TestUnixSignals : public QObject
{
    Q_OBJECT
private slots:
    void signalRunsTheNormalShutdown_data();
    void signalRunsTheNormalShutdown();
};

void TestUnixSignals::signalRunsTheNormalShutdown_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestUnixSignals::signalRunsTheNormalShutdown()
{
    QFETCH(int, sig);
    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/unixsignals_child"),
                QStringList());
    QVERIFY(child.waitForStarted(10000));
    QByteArray out;
    QVERIFY(QTest::qWaitFor(
        [&] {
            out += child.readAllStandardOutput();
            return out.contains('\n') || child.state() == QProcess::NotRunning;
        },
        20000));
    QVERIFY2(out.startsWith("port "), out.constData());
    const quint16 port = quint16(out.mid(5).trimmed().toUInt());

    QCOMPARE(fetch(port, "/?theme=light").status, 200);
    QCOMPARE(::kill(pid_t(child.processId()), sig), 0);
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    QSettings stored(home.path() +
                         QStringLiteral("/unixsignals_child/corvanta-controller/settings.ini"),
                     QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("usedarktheme")).toString(), QStringLiteral("false"));
}

QTEST_GUILESS_MAIN(TestUnixSignals)
#include "tst_unixsignals.moc"
