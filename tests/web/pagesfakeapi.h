#pragma once

#include "httpserverwrapper.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// Answers the API signals of HttpServerWrapper with a small in-memory state
// in the JSON shapes the browser pages read (camera, OBS and vMix routes), and
// keeps a log of every request the pages made: one line per request, the
// signal name then its typed parameters separated by "|", with the time it
// arrived. Setting a preset renames it and reports one finished download.
// With answerCamera false the "/cam/" requests are only logged: a real
// handler on the same server answers them.
class PagesFakeApi
{
public:
    struct Entry
    {
        QString line;
        qint64 ms;
    };

    QString camId = QStringLiteral("127.0.1.21");
    QStringList presets = {"Wide",     "Pulpit", "Choir", "Stage Left", "Stage Right",
                           "Audience", "7",      "8",     "9"};
    bool focusAuto = false;
    bool downloaded = false;
    // "/cam/tally" states of slots 1-8.
    QStringList tally = QVector<QString>(8, "idle").toList();
    QStringList camNames = {"Wide Shot", "Pulpit", "Choir", "Stage",
                            "Cam 5",     "Cam 6",  "Cam 7", "Cam 8"};
    QJsonArray obsSources = array(R"([{"name": "Mic/Aux", "volume": -6.0, "muted": false},
                                       {"name": "Desktop Audio", "volume": 0.0, "muted": true}])");
    QJsonArray obsTransitions = QJsonArray{"Fade", "Cut", "Stinger"};
    QJsonArray vmixInputs = array(
        R"([{"inputName": "Camera 1", "inputKey": "key-1", "inputVolume": "100",
              "inputVolumeMuted": false},
            {"inputName": "Intro Video", "inputKey": "key-2", "inputVolume": "",
              "inputVolumeMuted": true}])");

    QList<Entry> log;

    explicit PagesFakeApi(HttpServerWrapper *web, bool answerCamera = true)
    {
        m_clock.start();
        const QMetaObject *mo = web->metaObject();
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
            const QMetaMethod m = mo->method(i);
            if (m.methodType() != QMetaMethod::Signal)
                continue;
            const QString name = QString::fromLatin1(m.name());
            const bool switcher = name.contains("obs", Qt::CaseInsensitive) ||
                                  name.contains("vmix", Qt::CaseInsensitive);
            // The camera API handler has no tally: always answered here.
            const bool answer = name == "getTally" || switcher || answerCamera;
            m_hooks.emplace_back(new Hook(web, m, [this, name, answer](QList<QVariant> args) {
                auto *r = qvariant_cast<qhttp::server::QHttpResponse *>(args.takeFirst());
                QStringList parts{name};
                for (const QVariant &a : args)
                    parts.append(a.toString());
                log.append({parts.join('|'), m_clock.elapsed()});
                QJsonObject body = reply(name, args);
                if (!answer)
                    return;
                body.insert("status", "OK");
                body.insert("msg", "");
                r->addHeader("Content-Type", "application/json");
                r->end(QJsonDocument(body).toJson());
            }));
        }
    }

    // Log lines that start with prefix, in arrival order.
    QList<Entry> find(const QString &prefix) const
    {
        QList<Entry> out;
        for (const Entry &e : log) {
            if (e.line.startsWith(prefix))
                out.append(e);
        }
        return out;
    }

    int count(const QString &prefix) const { return find(prefix).size(); }

    // Log lines, without the polls unless asked for.
    QStringList actions(bool withPolls = false) const
    {
        static const QStringList polls = {"getVMixStatus",        "getCurrentCamInfo",
                                          "checkImageDownloaded", "getObsStatus",
                                          "getCameraSettings",    "getTally"};
        QStringList out;
        for (const Entry &e : log) {
            if (withPolls || !polls.contains(e.line))
                out.append(e.line);
        }
        return out;
    }

private:
    static QJsonArray array(const char *json) { return QJsonDocument::fromJson(json).array(); }

    // A signal spy that hands every emission on as it arrives.
    class Hook : public QSignalSpy
    {
    public:
        Hook(QObject *o, const QMetaMethod &m, std::function<void(QList<QVariant>)> f)
            : QSignalSpy(o, m), m_f(std::move(f))
        {
        }
        int qt_metacall(QMetaObject::Call c, int id, void **a) override
        {
            id = QSignalSpy::qt_metacall(c, id, a);
            if (!isEmpty())
                m_f(takeFirst());
            return id;
        }

    private:
        std::function<void(QList<QVariant>)> m_f;
    };

    QJsonObject reply(const QString &name, const QList<QVariant> &a)
    {
        if (name == "getCurrentCamInfo")
            return {{"camIndex", 0},
                    {"presets", QJsonArray::fromStringList(presets)},
                    {"camId", camId},
                    {"focusAuto", focusAuto}};
        if (name == "getTally") {
            QJsonArray data;
            for (int i = 0; i < tally.size(); ++i)
                data.append(QJsonObject{{"camNum", i + 1}, {"state", tally.at(i)}});
            return {{"data", data}};
        }
        if (name == "checkImageDownloaded")
            return {{"downloaded", std::exchange(downloaded, false)}};
        if (name == "getCameraSettings") {
            QJsonArray list;
            for (int i = 0; i < camNames.size(); ++i)
                list.append(QJsonObject{
                    {"isUsbCam", i == 7},
                    {"camId", i == 7 ? "USB Camera" : "127.0.1.2" + QString::number(i + 1)},
                    {"camName", camNames.at(i)}});
            return {{"usbDevices", QJsonArray{"USB Camera"}}, {"camList", list}};
        }
        if (name == "setPreset") {
            if (a[1].toInt() >= 1 && a[1].toInt() <= presets.size())
                presets[a[1].toInt() - 1] = a[0].toString();
            downloaded = true;
        }
        if (name == "focusAuto")
            focusAuto = a[0].toBool();
        if (name == "getObsStatus")
            return {{"isStreaming", true},
                    {"isRecording", false},
                    {"sources", obsSources},
                    {"transitions", obsTransitions},
                    {"currentTransition", "Cut"}};
        if (name == "getObsSettings")
            return {{"obsIp", "127.0.0.1"}, {"obsPort", 4444}};
        if (name == "getVMixStatus")
            return {{"inputs", vmixInputs},     {"isStreaming", true},
                    {"isRecording", true},      {"isPlayListOn", false},
                    {"masterVolume", 22.66712}, {"masterVolumeMuted", true}};
        if (name == "getVMixSettings")
            return {{"vmixIp", "127.0.0.1"}, {"vmixPort", 8088}, {"vmixId", "admin"}};
        return {};
    }

    std::vector<std::unique_ptr<Hook>> m_hooks;
    QElapsedTimer m_clock;
};
