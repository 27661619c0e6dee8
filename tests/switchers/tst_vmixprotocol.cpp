// vMix wire helpers without sockets: request URLs (credentials and query
// encoding) and the status document parser.

#include "vmixprotocol.h"

#include <QUrlQuery>
#include <QtTest>

using namespace VMixProtocol;

class TestVMixProtocol : public QObject
{
    Q_OBJECT
private slots:
    void credentialsStayUserInfo();
    void valuesCannotInjectParameters();
    void parseStatus_data();
    void parseStatus();
};

void TestVMixProtocol::credentialsStayUserInfo()
{
    const Endpoint endpoint{QStringLiteral("127.0.0.1"), 8088, QStringLiteral("ad@min"),
                            QStringLiteral("p@ss/w:rd#1?")};
    const QUrl url = statusUrl(endpoint);
    QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(url.port(), 8088);
    QCOMPARE(url.path(), QStringLiteral("/api"));
    QCOMPARE(url.userName(), endpoint.userName);
    QCOMPARE(url.password(), endpoint.password);
    QVERIFY(!redacted(url).contains(QStringLiteral("p@ss")));
    QVERIFY(!redacted(url).contains(QStringLiteral("p%40ss")));

    // A host that is not a host name cannot smuggle a path or other host.
    QVERIFY(statusUrl({QStringLiteral("evil.example/x"), 80, {}, {}}).isEmpty());
    QVERIFY(statusUrl({QStringLiteral("127.0.0.1"), 70000, {}, {}}).isEmpty());
}

void TestVMixProtocol::valuesCannotInjectParameters()
{
    const Endpoint endpoint{QStringLiteral("127.0.0.1"), 8088, {}, {}};
    const QUrl url =
        functionUrl(endpoint, QStringLiteral("PreviewInput"),
                    {{QStringLiteral("input"), QStringLiteral("x&function=Cut+1 #2")}});
    QCOMPARE(url.path(), QStringLiteral("/api/"));
    QCOMPARE(url.query(QUrl::FullyEncoded),
             QStringLiteral("function=PreviewInput&input=x%26function%3DCut%2B1%20%232"));
    const QUrlQuery query(url);
    QCOMPARE(query.allQueryItemValues(QStringLiteral("function")),
             QStringList{QStringLiteral("PreviewInput")});
    QCOMPARE(query.queryItemValue(QStringLiteral("input"), QUrl::FullyDecoded),
             QStringLiteral("x&function=Cut+1 #2"));
}

void TestVMixProtocol::parseStatus_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<bool>("streaming");
    QTest::addColumn<bool>("hasMaster");
    QTest::addColumn<double>("masterVolume");

    QTest::newRow("typical")
        << QByteArray("<vmix><inputs><input key=\"k1\" title=\"Cam 1\" volume=\"50\" "
                      "muted=\"False\">Cam 1</input><input key=\"k2\" title=\"Clip\"/></inputs>"
                      "<streaming>True</streaming><recording>False</recording>"
                      "<audio><master volume=\"22.66712\" muted=\"True\"/></audio></vmix>")
        << true << 2 << true << true << 22.66712;
    QTest::newRow("case-sensitive True and no master")
        << QByteArray("<vmix><streaming>true</streaming></vmix>") << true << 0 << false << false
        << 0.0;
    QTest::newRow("last streaming wins")
        << QByteArray("<vmix><streaming>False</streaming><x><streaming>True</streaming></x></vmix>")
        << true << 0 << true << false << 0.0;
    QTest::newRow("master volume not a number")
        << QByteArray("<vmix><master volume=\"inf\"/></vmix>") << true << 0 << false << true << 0.0;
    QTest::newRow("not xml") << QByteArray("Function completed") << false << 0 << false << false
                             << 0.0;
    QTest::newRow("truncated") << QByteArray("<vmix><input key=\"a\"/>") << false << 0 << false
                               << false << 0.0;
    QTest::newRow("dtd") << QByteArray("<!DOCTYPE v [<!ENTITY a \"aaaa\">]><vmix>&a;</vmix>")
                         << false << 0 << false << false << 0.0;
    QTest::newRow("too deep") << QByteArray("<a>").repeated(kMaxDepth + 1) +
                                     QByteArray("</a>").repeated(kMaxDepth + 1)
                              << false << 0 << false << false << 0.0;
}

void TestVMixProtocol::parseStatus()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, wellFormed);
    const std::optional<VMixStatus> status = VMixProtocol::parseStatus(body);
    QCOMPARE(status.has_value(), wellFormed);
    if (!status)
        return;
    QFETCH(int, inputs);
    QFETCH(bool, streaming);
    QFETCH(bool, hasMaster);
    QFETCH(double, masterVolume);
    QCOMPARE(status->inputs.size(), inputs);
    QCOMPARE(status->streaming, streaming);
    QCOMPARE(status->hasMaster, hasMaster);
    QCOMPARE(status->masterVolume, masterVolume);
    if (inputs == 2) {
        QCOMPARE(status->inputs.at(0), (VMixInput{"Cam 1", "k1", "50", false}));
        QCOMPARE(status->inputs.at(1), (VMixInput{"Clip", "k2", "", false}));
        QVERIFY(status->masterMuted);
    }
}

QTEST_GUILESS_MAIN(TestVMixProtocol)
#include "tst_vmixprotocol.moc"
