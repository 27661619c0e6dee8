// vMix wire helpers without sockets: URL building refuses hosts and ports
// that are not one, logs never see credentials; the status parser's bounds
// and text rules.

#include "vmixprotocol.h"

#include <QtTest>

using namespace VMixProtocol;

class TestVMixProtocol : public QObject
{
    Q_OBJECT
private slots:
    void urls();
    void parseStatus_data();
    void parseStatus();
};

void TestVMixProtocol::urls()
{
    const QUrl url = statusUrl({"127.0.0.1", 8088, "ad@min", "p@ss/w:rd#1?"});
    QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(url.password(), QStringLiteral("p@ss/w:rd#1?"));
    QCOMPARE(redacted(url), QStringLiteral("http://127.0.0.1:8088/api"));
    QVERIFY(statusUrl({"evil.example/x", 80, {}, {}}).isEmpty());
    QVERIFY(functionUrl({"127.0.0.1", 70000, {}, {}}, "Cut").isEmpty());
}

void TestVMixProtocol::parseStatus_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<bool>("streaming");
    QTest::addColumn<double>("masterVolume");

    QTest::newRow("True is case-sensitive")
        << QByteArray("<vmix><streaming>true</streaming></vmix>") << true << false << 0.0;
    QTest::newRow("last streaming wins")
        << QByteArray("<vmix><streaming>False</streaming><x><streaming>True</streaming></x></vmix>")
        << true << true << 0.0;
    QTest::newRow("master volume not finite")
        << QByteArray("<vmix><audio><master volume=\"inf\"/></audio></vmix>") << true << false
        << 0.0;
    QTest::newRow("truncated") << QByteArray("<vmix><input key=\"a\"/>") << false << false << 0.0;
    QTest::newRow("dtd") << QByteArray("<!DOCTYPE v [<!ENTITY a \"aaaa\">]><vmix>&a;</vmix>")
                         << false << false << 0.0;
    QTest::newRow("too deep") << QByteArray("<a>").repeated(kMaxDepth + 1) +
                                     QByteArray("</a>").repeated(kMaxDepth + 1)
                              << false << false << 0.0;
}

void TestVMixProtocol::parseStatus()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, wellFormed);
    const std::optional<VMixStatus> status = VMixProtocol::parseStatus(body);
    QCOMPARE(status.has_value(), wellFormed);
    if (!status)
        return;
    QFETCH(bool, streaming);
    QFETCH(double, masterVolume);
    QCOMPARE(status->streaming, streaming);
    QCOMPARE(status->masterVolume, masterVolume);
}

QTEST_GUILESS_MAIN(TestVMixProtocol)
#include "tst_vmixprotocol.moc"
