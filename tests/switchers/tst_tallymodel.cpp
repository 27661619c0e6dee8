// The tally model: slot states from the switchers' program and preview over
// a table of mappings, the scene picture read from obs-websocket replies and
// events, the live-camera refusal texts, and the model following
// the vMix client. (Following OBS end to end: tests/app.)

#include "fakevmixserver.h"
#include "obsscenes.h"
#include "tallymodel.h"
#include "vmixwrapper.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

constexpr int kWait = 10000;
using Mappings = QVector<TallyModel::Mapping>;

// One letter per slot: P program, V preview, I idle.
QString letters(const QVector<TallyModel::State> &states)
{
    QString out;
    for (TallyModel::State s : states)
        out += QLatin1Char("IVP"[s]);
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Mappings)
Q_DECLARE_METATYPE(TallyModel::Feeds)

class TestTallyModel : public QObject
{
    Q_OBJECT
private slots:
    void compute_data()
    {
        QTest::addColumn<Mappings>("mappings");
        QTest::addColumn<TallyModel::Feeds>("feeds");
        QTest::addColumn<QString>("expected");
        const Mappings m{
            {"Cam A", ""}, {"Cam B", "2"}, {"", "key-3"}, {"", "Wide Shot"}, {"Cam A", ""}};
        const VMixInput in2{"Pulpit", "", {}, false, "2"}; // no key: matches no empty mapping
        const VMixInput in3{"Choir", "KEY-3", {}, false, "3"};
        const VMixInput in4{" wide shot ", "key-4", {}, false, "4"};
        const auto row = [&](const char *name, const TallyModel::Feeds &feeds,
                             const char *expected) {
            QTest::newRow(name) << m << feeds << QString(expected);
        };
        row("nothing known", {}, "IIIIIIII");
        row("obs program, two slots on one scene", {"Cam A", "", {}, {}}, "PIIIPIII");
        row("obs preview", {"Cam A", "Cam B", {}, {}}, "PVIIPIII");
        row("scene names are exact", {"cam a", "", {}, {}}, "IIIIIIII");
        row("vmix by number", {"", "", in2, {}}, "IPIIIIII");
        row("vmix by key, any case", {"", "", {}, in3}, "IIVIIIII");
        row("vmix by title, spaces and case", {"", "", in4, in3}, "IIVPIIII");
        row("program wins over preview", {"", "Cam B", in2, {}}, "IPIIIIII");
        row("both switchers", {"Cam A", "", {}, in2}, "PVIIPIII");
    }

    void compute()
    {
        QFETCH(Mappings, mappings);
        QFETCH(TallyModel::Feeds, feeds);
        QFETCH(QString, expected);
        QCOMPARE(letters(TallyModel::compute(mappings, feeds)), expected);
    }

    // Messages handled in order; then the program, the preview and how many
    // messages changed them.
    void obsScenes_data()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QStringList &messages, const char *expected) {
            QTest::newRow(name) << messages << QString(expected);
        };
        const QString list =
            R"({"message-id":"11","current-scene":"A","scenes":[{"name":"A"},{"name":"B"}]})";
        const QString previewC = R"({"update-type":"PreviewSceneChanged","scene-name":"C"})";
        row("scene list", {list}, "A||1");
        row("switch event", {list, R"({"update-type":"SwitchScenes","scene-name":"B"})"}, "B||2");
        row("studio mode and preview",
            {list, R"({"message-id":"12","studio-mode":true})",
             R"({"message-id":"13","name":"B"})"},
            "A|B|2");
        row("preview event turns studio on", {previewC}, "|C|1");
        row("studio off drops the preview",
            {previewC, R"({"update-type":"StudioModeSwitched","new-state":false})"}, "||2");
        row("status says studio off",
            {R"({"message-id":"13","name":"C"})", R"({"message-id":"12","studio-mode":false})"},
            "||2");
        row("malformed fields change nothing",
            {list, R"({"update-type":"SwitchScenes","scene-name":7})",
             R"({"message-id":"11","current-scene":null})",
             R"({"message-id":"12","studio-mode":"yes"})", "not json"},
            "A||1");
        row("a reply carrying update-type is still a reply",
            {R"({"message-id":"11","update-type":"SwitchScenes","scene-name":"X","current-scene":"A"})"},
            "A||1");
    }
    void obsScenes()
    {
        QFETCH(QStringList, messages);
        QFETCH(QString, expected);
        ObsScenes scenes;
        int changed = 0;
        for (const QString &m : messages)
            changed += scenes.handle(QJsonDocument::fromJson(m.toUtf8()).object()) ? 1 : 0;
        QCOMPARE(QString("%1|%2|%3").arg(scenes.program(), scenes.preview()).arg(changed),
                 expected);
        // Clearing reports whether anything was lit and forgets it all.
        QCOMPARE(scenes.clear(), expected.at(0) != '|' || expected.at(1) != '|');
        QVERIFY(scenes.program().isEmpty() && scenes.preview().isEmpty() &&
                scenes.names().isEmpty());
    }
    void refusal_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("recall");
        QTest::addColumn<QString>("text");
        const int program = TallyModel::Program;
        QTest::newRow("off, recall") << program << 0 << true << "";
        QTest::newRow("1, recall")
            << program << 1 << true << "Camera 3 (Pulpit) is on program: recall refused";
        QTest::newRow("1, move") << program << 1 << false << "";
        QTest::newRow("2, move") << program << 2 << false
                                 << "Camera 3 (Pulpit) is on program: move refused";
        QTest::newRow("2, recall on preview") << int(TallyModel::Preview) << 2 << true << "";
    }

    void refusal()
    {
        QFETCH(int, state);
        QFETCH(int, level);
        QFETCH(bool, recall);
        QFETCH(QString, text);
        QCOMPARE(TallyModel::refusal(2, " Pulpit ", TallyModel::State(state), level, recall), text);
    }

    // The model follows the vMix client's polls; a failed poll and the stop of
    // polling put it all out.
    void vmixFeed()
    {
        FakeVMixServer fake;
        fake.body = R"(<vmix><inputs><input title="Wide"/><input/><input key="k-3"/></inputs>)"
                    "<active>1</active><preview>3</preview></vmix>";
        VMixWrapper vmix("127.0.0.1", fake.port(), "admin", QString());
        vmix.setPollInterval(20);
        TallyModel model;
        model.setMappings({{"", "Wide"}, {"", "2"}, {"", "K-3"}});
        model.followVMix(&vmix);
        vmix.startPolling();
        QTRY_COMPARE_WITH_TIMEOUT(letters(model.states()), QStringLiteral("PIVIIIII"), kWait);
        fake.mode = FakeVMixServer::Http500;
        QTRY_COMPARE_WITH_TIMEOUT(letters(model.states()), QStringLiteral("IIIIIIII"), kWait);
        fake.mode = FakeVMixServer::Answer;
        QTRY_COMPARE_WITH_TIMEOUT(letters(model.states()), QStringLiteral("PIVIIIII"), kWait);
        vmix.stopPolling();
        QCOMPARE(letters(model.states()), QStringLiteral("IIIIIIII"));
    }
};

QTEST_GUILESS_MAIN(TestTallyModel)
#include "tst_tallymodel.moc"
