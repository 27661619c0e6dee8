// The tally model without sockets: slot states from the switchers' program
// and preview over a table of mappings, the scene picture read from
// obs-websocket replies and events, the live-camera refusal texts, and the
// per-slot change signals when a switcher comes and goes.

#include "obsscenes.h"
#include "tallymodel.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

namespace {

using Mappings = QVector<TallyModel::Mapping>;

VMixInput input(const QString &number, const QString &key, const QString &title)
{
    VMixInput i;
    i.number = number;
    i.key = key;
    i.title = title;
    return i;
}

// "PPI....." style: one letter per slot (P program, V preview, I idle).
QString letters(const QVector<TallyModel::State> &states)
{
    QString out;
    for (TallyModel::State s : states)
        out += s == TallyModel::Program ? 'P' : s == TallyModel::Preview ? 'V' : 'I';
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Mappings)
Q_DECLARE_METATYPE(TallyModel::Feeds)

class TestTallyModel : public QObject
{
    Q_OBJECT
private slots:
    void compute_data();
    void compute();
    void obsScenes_data();
    void obsScenes();
    void refusal_data();
    void refusal();
    void changesAreSignalledPerSlotAndEndWithTheSwitcher();
};

void TestTallyModel::compute_data()
{
    QTest::addColumn<Mappings>("mappings");
    QTest::addColumn<TallyModel::Feeds>("feeds");
    QTest::addColumn<QString>("expected");

    const Mappings m{
        {"Cam A", ""}, {"Cam B", "2"}, {"", "key-3"}, {"", "Wide Shot"}, {"Cam A", ""}};
    const VMixInput in2 = input("2", "key-2", "Pulpit");
    const VMixInput in3 = input("3", "KEY-3", "Choir");
    const VMixInput in4 = input("4", "key-4", " wide shot ");

    QTest::newRow("nothing known") << m << TallyModel::Feeds{} << "IIIIIIII";
    QTest::newRow("obs program, two slots on one scene")
        << m << TallyModel::Feeds{"Cam A", "", {}, {}} << "PIIIPIII";
    QTest::newRow("obs preview") << m << TallyModel::Feeds{"Cam A", "Cam B", {}, {}} << "PVIIPIII";
    QTest::newRow("scene names are exact")
        << m << TallyModel::Feeds{"cam a", "", {}, {}} << "IIIIIIII";
    QTest::newRow("vmix by number") << m << TallyModel::Feeds{"", "", in2, {}} << "IPIIIIII";
    QTest::newRow("vmix by key, any case") << m << TallyModel::Feeds{"", "", {}, in3} << "IIVIIIII";
    QTest::newRow("vmix by title, spaces and case")
        << m << TallyModel::Feeds{"", "", in4, in3} << "IIVPIIII";
    QTest::newRow("program wins over preview")
        << m << TallyModel::Feeds{"", "Cam B", in2, {}} << "IPIIIIII";
    QTest::newRow("both switchers") << m << TallyModel::Feeds{"Cam A", "", {}, in2} << "PVIIPIII";
    QTest::newRow("an empty scene matches no untied slot")
        << Mappings{{"", ""}} << TallyModel::Feeds{"", "", input("1", "", ""), {}} << "IIIIIIII";
}

void TestTallyModel::compute()
{
    QFETCH(Mappings, mappings);
    QFETCH(TallyModel::Feeds, feeds);
    QFETCH(QString, expected);
    QCOMPARE(letters(TallyModel::compute(mappings, feeds)), expected);
}

void TestTallyModel::obsScenes_data()
{
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("preview");
    QTest::addColumn<int>("changes");

    const QString list =
        R"({"message-id":"11","current-scene":"A","scenes":[{"name":"A"},{"name":"B"}]})";
    QTest::newRow("scene list") << QStringList{list} << "A"
                                << "" << 1;
    QTest::newRow("switch event")
        << QStringList{list, R"({"update-type":"SwitchScenes","scene-name":"B"})"} << "B"
        << "" << 2;
    QTest::newRow("studio mode and preview")
        << QStringList{list, R"({"message-id":"12","studio-mode":true})",
                       R"({"message-id":"13","name":"B"})"}
        << "A"
        << "B" << 2;
    QTest::newRow("preview event turns studio on")
        << QStringList{R"({"update-type":"PreviewSceneChanged","scene-name":"C"})"} << ""
        << "C" << 1;
    QTest::newRow("studio off drops the preview")
        << QStringList{R"({"update-type":"PreviewSceneChanged","scene-name":"C"})",
                       R"({"update-type":"StudioModeSwitched","new-state":false})"}
        << ""
        << "" << 2;
    QTest::newRow("status says studio off")
        << QStringList{R"({"message-id":"13","name":"C"})",
                       R"({"message-id":"12","studio-mode":false})"}
        << ""
        << "" << 2;
    QTest::newRow("same scene again is no change")
        << QStringList{list, list, R"({"update-type":"SwitchScenes","scene-name":"A"})"} << "A"
        << "" << 1;
    QTest::newRow("malformed fields change nothing")
        << QStringList{list, R"({"update-type":"SwitchScenes","scene-name":7})",
                       R"({"message-id":"11","current-scene":null})",
                       R"({"message-id":"12","studio-mode":"yes"})", "not json"}
        << "A"
        << "" << 1;
    QTest::newRow("a reply carrying update-type is still a reply")
        << QStringList{R"({"message-id":"11","update-type":"SwitchScenes","scene-name":"X","current-scene":"A"})"}
        << "A"
        << "" << 1;
}

void TestTallyModel::obsScenes()
{
    QFETCH(QStringList, messages);
    QFETCH(QString, program);
    QFETCH(QString, preview);
    QFETCH(int, changes);
    ObsScenes scenes;
    int changed = 0;
    for (const QString &m : messages)
        changed += scenes.handle(QJsonDocument::fromJson(m.toUtf8()).object()) ? 1 : 0;
    QCOMPARE(scenes.program(), program);
    QCOMPARE(scenes.preview(), preview);
    QCOMPARE(changed, changes);
    QCOMPARE(scenes.clear(), !program.isEmpty() || !preview.isEmpty());
    QVERIFY(scenes.program().isEmpty() && scenes.preview().isEmpty() && scenes.names().isEmpty());
}

void TestTallyModel::refusal_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("recall");
    QTest::addColumn<QString>("text");

    const QString recall = "Camera 3 (Pulpit) is on program: recall refused";
    const QString move = "Camera 3 (Pulpit) is on program: move refused";
    QTest::newRow("off, recall") << int(TallyModel::Program) << 0 << true << "";
    QTest::newRow("1, recall on program") << int(TallyModel::Program) << 1 << true << recall;
    QTest::newRow("1, move on program") << int(TallyModel::Program) << 1 << false << "";
    QTest::newRow("2, move on program") << int(TallyModel::Program) << 2 << false << move;
    QTest::newRow("2, recall on program") << int(TallyModel::Program) << 2 << true << recall;
    QTest::newRow("2, recall on preview") << int(TallyModel::Preview) << 2 << true << "";
    QTest::newRow("2, move idle") << int(TallyModel::Idle) << 2 << false << "";
}

void TestTallyModel::refusal()
{
    QFETCH(int, state);
    QFETCH(int, level);
    QFETCH(bool, recall);
    QFETCH(QString, text);
    QCOMPARE(TallyModel::refusal(2, " Pulpit ", TallyModel::State(state), level, recall), text);
}

void TestTallyModel::changesAreSignalledPerSlotAndEndWithTheSwitcher()
{
    TallyModel model;
    QSignalSpy spy(&model, &TallyModel::slotStateChanged);
    model.setMappings({{"A", ""}, {"B", "Intro"}});
    QCOMPARE(spy.count(), 0);

    model.setObsScenes("A", "B");
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toInt(), 0);
    QCOMPARE(spy.at(0).at(1).value<TallyModel::State>(), TallyModel::Program);
    QCOMPARE(spy.at(1).at(1).value<TallyModel::State>(), TallyModel::Preview);

    // vMix takes slot 2 to program; OBS still has it on preview.
    spy.clear();
    model.setVMixInputs(input("5", "k", "intro"), {});
    QCOMPARE(spy.count(), 1);
    QCOMPARE(model.state(1), TallyModel::Program);

    // vMix stops answering: slot 2 falls back to what OBS says.
    spy.clear();
    model.setVMixInputs({}, {});
    QCOMPARE(model.state(1), TallyModel::Preview);
    // OBS goes away: nothing stays lit.
    model.setObsScenes(QString(), QString());
    QCOMPARE(letters(model.states()), QStringLiteral("IIIIIIII"));
    QCOMPARE(spy.count(), 3);

    // A new mapping applies to what the switchers have now.
    model.setObsScenes("B", "");
    spy.clear();
    model.setMappings({{"", ""}, {"", ""}, {"B", ""}});
    QCOMPARE(letters(model.states()), QStringLiteral("IIPIIIII"));
    QCOMPARE(spy.count(), 2);
}

QTEST_GUILESS_MAIN(TestTallyModel)
#include "tst_tallymodel.moc"
