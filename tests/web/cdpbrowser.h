#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebSocket>

#include <functional>
#include <memory>

// Headless Chromium driven over the DevTools protocol (one WebSocket to the
// browser, flat sessions per page). Waits spin the event loop, so servers in
// the same process keep answering. Nothing leaves 127.0.0.0/8: host names do
// not resolve and background services are off.
class CdpBrowser
{
public:
    static constexpr const char *kBinary = "/usr/bin/chromium";
    static constexpr int kTimeoutMs = 60000;

    struct Event
    {
        QString method;
        QString sessionId;
        QJsonObject params;
    };

    ~CdpBrowser() { close(); }

    // Starts the browser and connects to it; false with error() set on failure.
    bool start()
    {
        if (!m_profile.isValid())
            return fail("no temporary profile folder");
        m_process.setProgram(QString::fromLatin1(kBinary));
        // Every page polls as if in front (several pages at once keep their
        // 500 ms timers); no name resolves.
        m_process.setArguments(
            QString("--headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                    "--disable-background-networking --disable-component-update --disable-sync "
                    "--disable-extensions --disable-default-apps --no-default-browser-check "
                    "--disable-crash-reporter --mute-audio --disable-dev-shm-usage --log-level=3 "
                    "--disable-background-timer-throttling --disable-renderer-backgrounding "
                    "--disable-backgrounding-occluded-windows --remote-debugging-port=0 "
                    "--remote-debugging-address=127.0.0.1 about:blank")
                .split(' ')
            << "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"
            << "--user-data-dir=" + m_profile.path());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(kTimeoutMs))
            return fail("chromium did not start: " + m_process.errorString());
        // The browser writes its port and browser target path once it listens.
        const QString portFile = m_profile.path() + "/DevToolsActivePort";
        QStringList lines;
        (void)QTest::qWaitFor(
            [&] {
                QFile f(portFile);
                if (f.open(QIODevice::ReadOnly))
                    lines = QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
                return lines.size() >= 2 || m_process.state() == QProcess::NotRunning;
            },
            kTimeoutMs);
        if (lines.size() < 2)
            return fail("chromium wrote no DevToolsActivePort");
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived,
                         [this](const QString &text) { onMessage(text); });
        m_socket.open(QUrl("ws://127.0.0.1:" + lines.at(0) + lines.at(1)));
        if (!QTest::qWaitFor([&] { return m_socket.state() == QAbstractSocket::ConnectedState; },
                             kTimeoutMs))
            return fail("no DevTools connection: " + m_socket.errorString());
        return true;
    }

    void close()
    {
        if (m_socket.state() == QAbstractSocket::ConnectedState) {
            send("Browser.close", {}, {});
            m_socket.flush();
        }
        if (!m_process.waitForFinished(15000))
            m_process.kill();
    }

    QString error() const { return m_error; }

    // Sends a command and waits for its answer; the "result" object, or an
    // empty one with error() set.
    QJsonObject call(const QString &method, const QJsonObject &params = {},
                     const QString &sessionId = {})
    {
        const int id = send(method, params, sessionId);
        if (!spinUntil([&] { return m_results.contains(id); }, kTimeoutMs)) {
            m_error = method + ": no answer";
            return {};
        }
        const QJsonObject answer = m_results.take(id);
        if (answer.contains("error")) {
            m_error = method + ": " + QJsonDocument(answer.value("error").toObject()).toJson();
            return {};
        }
        return answer.value("result").toObject();
    }

    // Opens a page target and returns its session, with the domains the
    // checks listen to enabled.
    QString openPage()
    {
        const QString targetId =
            call("Target.createTarget", {{"url", "about:blank"}}).value("targetId").toString();
        const QString session =
            call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}})
                .value("sessionId")
                .toString();
        for (const char *domain : {"Page.enable", "Runtime.enable", "Log.enable", "Network.enable"})
            call(domain, {}, session);
        call("Emulation.setDeviceMetricsOverride",
             {{"width", 1280}, {"height", 900}, {"deviceScaleFactor", 1}, {"mobile", false}},
             session);
        return session;
    }

    // Evaluates an expression in the page (promises awaited) and returns its value.
    QJsonValue eval(const QString &session, const QString &expression)
    {
        const QJsonObject r = call(
            "Runtime.evaluate",
            {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, session);
        if (r.contains("exceptionDetails"))
            m_error =
                expression + ": " + QJsonDocument(r.value("exceptionDetails").toObject()).toJson();
        return r.value("result").toObject().value("value");
    }

    // Waits until the expression is true in the page, asking every 5 ms.
    bool waitTrue(const QString &session, const QString &expression, int timeoutMs = kTimeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (!eval(session, expression).toBool()) {
            if (t.elapsed() >= timeoutMs)
                return false;
            spinUntil([] { return false; }, 5);
        }
        return true;
    }

    // Runs the event loop until done() or the time is up. Unlike
    // QTest::qWaitFor it never sleeps, so a server on this thread answers the
    // browser at once (benchmarks time the pages, not the waiting).
    bool spinUntil(const std::function<bool()> &done, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            const qint64 left = timeoutMs - t.elapsed();
            if (left <= 0)
                return false;
            QEventLoop loop;
            m_wake = &loop;
            QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
            loop.exec();
            m_wake = nullptr;
        }
        return true;
    }

    const QList<Event> &events() const { return m_events; }
    void clearEvents() { m_events.clear(); }
    // Called for every event as it arrives (before it is stored).
    std::function<void(const Event &)> onEvent;

private:
    bool fail(const QString &why)
    {
        m_error = why;
        return false;
    }

    int send(const QString &method, const QJsonObject &params, const QString &sessionId)
    {
        QJsonObject msg{{"id", ++m_lastId}, {"method", method}, {"params", params}};
        if (!sessionId.isEmpty())
            msg.insert("sessionId", sessionId);
        m_socket.sendTextMessage(
            QString::fromUtf8(QJsonDocument(msg).toJson(QJsonDocument::Compact)));
        return m_lastId;
    }

    void onMessage(const QString &text)
    {
        const QJsonObject msg = QJsonDocument::fromJson(text.toUtf8()).object();
        if (msg.contains("id")) {
            m_results.insert(msg.value("id").toInt(), msg);
            if (m_wake)
                m_wake->quit();
            return;
        }
        Event e{msg.value("method").toString(), msg.value("sessionId").toString(),
                msg.value("params").toObject()};
        if (onEvent)
            onEvent(e);
        m_events.append(e);
    }

    QTemporaryDir m_profile;
    QProcess m_process;
    QWebSocket m_socket;
    QHash<int, QJsonObject> m_results;
    QList<Event> m_events;
    QEventLoop *m_wake = nullptr;
    QString m_error;
    int m_lastId = 0;
};
