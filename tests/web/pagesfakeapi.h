#pragma once

#include "httpserverwrapper.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

// Answers the API signals of HttpServerWrapper with a small in-memory state
// in the JSON shapes the browser pages read (camera, OBS and vMix routes), and
// keeps a log of every request the pages made: one line per request, the
// signal name then its typed parameters separated by "|", with the time it
// arrived. Setting a preset renames it and reports one finished download.
// With answerCamera (answerSwitchers) false the "/cam/" ("/obs/", "/vmix/")
// requests are only logged: a real handler on the same server answers them.
class PagesFakeApi : public QObject
{
public:
    struct Entry
    {
        QString line;
        qint64 ms;
    };

    int camIndex = 0;
    QString camId = QStringLiteral("127.0.1.21");
    QStringList presets = {"Wide",     "Pulpit", "Choir", "Stage Left", "Stage Right",
                           "Audience", "7",      "8",     "9"};
    bool focusAuto = false;
    bool downloaded = false;
    // "/cam/tally" states of slots 1-8.
    QStringList tally = {"idle", "idle", "idle", "idle", "idle", "idle", "idle", "idle"};
    QStringList camNames = {"Wide Shot", "Pulpit", "Choir", "Stage",
                            "Cam 5",     "Cam 6",  "Cam 7", "Cam 8"};
    QJsonArray obsSources =
        QJsonArray{QJsonObject{{"name", "Mic/Aux"}, {"volume", -6.0}, {"muted", false}},
                   QJsonObject{{"name", "Desktop Audio"}, {"volume", 0.0}, {"muted", true}}};
    QJsonArray obsTransitions = QJsonArray{"Fade", "Cut", "Stinger"};
    QJsonArray vmixInputs = QJsonArray{QJsonObject{{"inputName", "Camera 1"},
                                                   {"inputKey", "key-1"},
                                                   {"inputVolume", "100"},
                                                   {"inputVolumeMuted", false}},
                                       QJsonObject{{"inputName", "Intro Video"},
                                                   {"inputKey", "key-2"},
                                                   {"inputVolume", ""},
                                                   {"inputVolumeMuted", true}}};

    QList<Entry> log;

    explicit PagesFakeApi(HttpServerWrapper *web, bool answerCamera = true,
                          bool answerSwitchers = true)
        : m_answerCamera(answerCamera), m_answerSwitchers(answerSwitchers)
    {
        m_clock.start();
        using W = HttpServerWrapper;
        using R = qhttp::server::QHttpResponse;
        connect(web, &W::getCurrentCamInfo, this, [this](R *r) {
            note("getCurrentCamInfo");
            camOk(r, {{"camIndex", camIndex},
                      {"presets", QJsonArray::fromStringList(presets)},
                      {"camId", camId},
                      {"focusAuto", focusAuto}});
        });
        connect(web, &W::getTally, this, [this](R *r) {
            note("getTally");
            QJsonArray data;
            for (int i = 0; i < tally.size(); ++i)
                data.append(QJsonObject{{"camNum", i + 1}, {"state", tally.at(i)}});
            ok(r, {{"data", data}}); // the camera API handler has no tally
        });
        connect(web, &W::checkImageDownloaded, this, [this](R *r) {
            note("checkImageDownloaded");
            camOk(r, {{"downloaded", downloaded}});
            downloaded = false;
        });
        connect(web, &W::getCameraSettings, this, [this](R *r) {
            note("getCameraSettings");
            QJsonArray list;
            for (int i = 0; i < camNames.size(); ++i)
                list.append(QJsonObject{
                    {"isUsbCam", i == 7},
                    {"camId", i == 7 ? "USB Camera" : "127.0.1.2" + QString::number(i + 1)},
                    {"camName", camNames.at(i)}});
            camOk(r, {{"usbDevices", QJsonArray{"USB Camera"}}, {"camList", list}});
        });
        connect(web, &W::connectCam, this, [this](R *r, int n) {
            note("connectCam", {n});
            camOk(r);
        });
        connect(web, &W::controlCam, this, [this](R *r, int m, int p, int t, int z, int f) {
            note("controlCam", {m, p, t, z, f});
            camOk(r);
        });
        connect(web, &W::stopControl, this, [this](R *r, int m) {
            note("stopControl", {m});
            camOk(r);
        });
        connect(web, &W::setPreset, this, [this](R *r, QString name, int num, bool upload) {
            note("setPreset", {name, num, upload});
            if (num >= 1 && num <= presets.size())
                presets[num - 1] = name;
            downloaded = true;
            camOk(r);
        });
        connect(web, &W::recallPreset, this, [this](R *r, int num, int speed) {
            note("recallPreset", {num, speed});
            camOk(r);
        });
        connect(web, &W::focusAuto, this, [this](R *r, bool on) {
            note("focusAuto", {on});
            focusAuto = on;
            camOk(r);
        });
        connect(web, &W::saveCameraSettings, this, [this](R *r, QString list) {
            note("saveCameraSettings", {list});
            camOk(r);
        });
        connect(web, &W::getObsStatus, this, [this](R *r) {
            note("getObsStatus");
            swOk(r, {{"isStreaming", true},
                     {"isRecording", false},
                     {"sources", obsSources},
                     {"transitions", obsTransitions},
                     {"currentTransition", "Cut"}});
        });
        connect(web, &W::getObsSettings, this, [this](R *r) {
            note("getObsSettings");
            swOk(r, {{"obsIp", "127.0.0.1"}, {"obsPort", 4444}});
        });
        connect(web, &W::setObsSourceVolume, this, [this](R *r, QString s, double v) {
            note("setObsSourceVolume", {s, v});
            swOk(r);
        });
        connect(web, &W::setObsSourceMuted, this, [this](R *r, QString s) {
            note("setObsSourceMuted", {s});
            swOk(r);
        });
        connect(web, &W::obsSetTransition, this, [this](R *r, QString s) {
            note("obsSetTransition", {s});
            swOk(r);
        });
        connect(web, &W::obsToggleStreaming, this, [this](R *r) {
            note("obsToggleStreaming");
            swOk(r);
        });
        connect(web, &W::obsToggleRecording, this, [this](R *r) {
            note("obsToggleRecording");
            swOk(r);
        });
        connect(web, &W::obsSaveReconnect, this, [this](R *r, QString ip, int port, QString pwd) {
            note("obsSaveReconnect", {ip, port, pwd});
            swOk(r);
        });
        connect(web, &W::vmixSaveReconnect, this,
                [this](R *r, QString ip, int port, QString id, QString pwd) {
                    note("vmixSaveReconnect", {ip, port, id, pwd});
                    swOk(r);
                });
        connect(web, &W::getVMixStatus, this, [this](R *r) {
            note("getVMixStatus");
            swOk(r, {{"inputs", vmixInputs},
                     {"isStreaming", true},
                     {"isRecording", true},
                     {"isPlayListOn", false},
                     {"masterVolume", 22.66712},
                     {"masterVolumeMuted", true}});
        });
        connect(web, &W::getVMixSettings, this, [this](R *r) {
            note("getVMixSettings");
            swOk(r, {{"vmixIp", "127.0.0.1"}, {"vmixPort", 8088}, {"vmixId", "admin"}});
        });
        connect(web, &W::setVMixSourceVolume, this, [this](R *r, QString s, double v) {
            note("setVMixSourceVolume", {s, v});
            swOk(r);
        });
        connect(web, &W::setVMixSourceMuted, this, [this](R *r, QString s) {
            note("setVMixSourceMuted", {s});
            swOk(r);
        });
        connect(web, &W::setVMixMasterVolume, this, [this](R *r, double v) {
            note("setVMixMasterVolume", {v});
            swOk(r);
        });
        connect(web, &W::setVMixMasterMuted, this, [this](R *r) {
            note("setVMixMasterMuted");
            swOk(r);
        });
        connect(web, &W::vmixSetPreview, this, [this](R *r, QString s) {
            note("vmixSetPreview", {s});
            swOk(r);
        });
        connect(web, &W::vmixApplyTransition, this, [this](R *r, int t) {
            note("vmixApplyTransition", {t});
            swOk(r);
        });
        connect(web, &W::vmixToggleStreaming, this, [this](R *r) {
            note("vmixToggleStreaming");
            swOk(r);
        });
        connect(web, &W::vmixToggleRecording, this, [this](R *r) {
            note("vmixToggleRecording");
            swOk(r);
        });
        connect(web, &W::vmixTogglePlayList, this, [this](R *r) {
            note("vmixTogglePlayList");
            swOk(r);
        });
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

    // Log lines other than the four polls.
    QStringList actions() const
    {
        static const QStringList polls = {"getVMixStatus",        "getCurrentCamInfo",
                                          "checkImageDownloaded", "getObsStatus",
                                          "getCameraSettings",    "getTally"};
        QStringList out;
        for (const Entry &e : log) {
            if (!polls.contains(e.line))
                out.append(e.line);
        }
        return out;
    }

private:
    void note(const QString &name, const QVariantList &args = {})
    {
        QStringList parts{name};
        for (const QVariant &a : args)
            parts.append(a.toString());
        log.append({parts.join('|'), m_clock.elapsed()});
    }

    static void ok(qhttp::server::QHttpResponse *r, QJsonObject body = {})
    {
        body.insert("status", "OK");
        body.insert("msg", "");
        r->addHeader("Content-Type", "application/json");
        r->setStatusCode(qhttp::ESTATUS_OK);
        r->end(QJsonDocument(body).toJson());
    }

    void camOk(qhttp::server::QHttpResponse *r, QJsonObject body = {}) const
    {
        if (m_answerCamera)
            ok(r, body);
    }

    void swOk(qhttp::server::QHttpResponse *r, QJsonObject body = {}) const
    {
        if (m_answerSwitchers)
            ok(r, body);
    }

    bool m_answerCamera;
    bool m_answerSwitchers;
    QElapsedTimer m_clock;
};
