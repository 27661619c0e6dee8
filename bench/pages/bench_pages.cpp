// Time to a loaded, polling browser page on loopback (first load with an
// empty cache, then a reload), the bytes each transfers, and what the pages'
// polling costs the server. The server is the real HttpServerWrapper in this
// process with the API answered by the test fake; the browser is headless
// Chromium over the DevTools protocol.
//
//   corvanta_pages_bench [loads-per-view] [poll-seconds]
#include "appsettings.h"
#include "cdpbrowser.h"
#include "httpserverwrapper.h"
#include "pagesfakeapi.h"
#include "resources.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The page has loaded (fonts included) and shown the first answers of the
// polls it runs on that view.
QString readyCheck(const QString &path)
{
    QStringList parts{"document.readyState === 'complete'", "document.fonts.status === 'loaded'"};
    if (path != "/switcher")
        parts << "$('#cam1').hasClass('active')";
    if (path != "/camera")
        parts << "$('#obsStreamStatus').text() === 'Streaming ...'"
              << "$('#vmixStreamStatus').text() === 'Streaming...'";
    return "typeof $ === 'function' && " + parts.join(" && ");
}

void closePage(CdpBrowser &b, const QString &session)
{
    const QJsonValue id = b.call("Target.getTargetInfo", {}, session)
                              .value("targetInfo")
                              .toObject()
                              .value("targetId");
    b.call("Target.closeTarget", {{"targetId", id}});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int loads = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int pollSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 10;
    Resources::init();

    AppSettings settings;
    HttpServerWrapper web(&settings);
    if (!web.startServer("127.0.0.1", 0)) {
        fprintf(stderr, "server did not start\n");
        return 1;
    }
    PagesFakeApi api(&web);
    const QString origin = QString("http://127.0.0.1:%1").arg(web.server()->serverPort());

    CdpBrowser browser;
    if (!browser.start()) {
        fprintf(stderr, "%s\n", qPrintable(browser.error()));
        return 1;
    }

    // Bytes on the wire (headers included) for the page being measured, and
    // the requests the server received meanwhile.
    QString measured;
    qint64 bytes = 0;
    int requests = 0;
    browser.onEvent = [&](const CdpBrowser::Event &e) {
        if (e.sessionId == measured && e.method == "Network.loadingFinished")
            bytes += qint64(e.params.value("encodedDataLength").toDouble());
    };
    QObject::connect(web.server(), &qhttp::server::QHttpServer::newRequest, &app,
                     [&] { requests += measured.isEmpty() ? 0 : 1; });
    struct Run
    {
        double pageMs;    // in the page: navigation start to ready
        double harnessMs; // here: navigation command to ready seen
        qint64 bytes;
        int requests;
    };
    auto median = [](QList<Run> runs, auto field) {
        std::sort(runs.begin(), runs.end(),
                  [&](const Run &a, const Run &b) { return field(a) < field(b); });
        return field(runs.at(runs.size() / 2));
    };
    // Asking the page every 20 ms keeps this process from competing with the
    // page for its main thread; the page itself notes when it became ready.
    auto waitReady = [&](const QString &session, const QString &extra) {
        QElapsedTimer t;
        t.start();
        while (!browser.eval(session, extra + "typeof window.benchReadyAt === 'number'").toBool()) {
            if (t.elapsed() > CdpBrowser::kTimeoutMs)
                return -1.0;
            browser.spinUntil([] { return false; }, 20);
        }
        return browser.eval(session, "window.benchReadyAt").toDouble();
    };

    printf("time to a loaded, polling page (navigation to first answers shown) and what it\n"
           "transfers; first load with an empty cache, then a reload of that page; %d each.\n"
           "page ms: the page's own clock from navigation start; harness: from the command\n",
           loads);
    printf("%-10s %-6s %8s %8s %8s %8s %12s %9s\n", "view", "load", "min ms", "median", "max ms",
           "harness", "median bytes", "requests");
    for (const QString path : {"/", "/camera", "/switcher"}) {
        QList<Run> first;
        QList<Run> reload;
        // Runs in every new document before its own scripts.
        const QString watcher =
            "(() => { const timer = setInterval(() => { let ready = false;"
            " try { ready = " +
            readyCheck(path) +
            "; } catch (e) {}"
            " if (ready) { window.benchReadyAt = performance.now(); clearInterval(timer); } },"
            " 2); })();";
        for (int i = 0; i <= loads; ++i) {
            const QString session = browser.openPage();
            browser.call("Network.clearBrowserCache", {}, session);
            browser.call("Page.addScriptToEvaluateOnNewDocument", {{"source", watcher}}, session);
            measured = session;
            bytes = 0;
            requests = 0;
            QElapsedTimer t;
            t.start();
            browser.call("Page.navigate", {{"url", origin + path + "?theme=dark"}}, session);
            const double firstMs = waitReady(session, QString());
            if (firstMs < 0) {
                fprintf(stderr, "%s did not become ready\n", qPrintable(path));
                return 1;
            }
            const Run firstRun{firstMs, t.nsecsElapsed() / 1e6, bytes, requests};
            browser.eval(session, "window.benchOldDocument = true");
            bytes = 0;
            requests = 0;
            t.restart();
            browser.call("Page.reload", {}, session);
            const double reloadMs = waitReady(session, "!window.benchOldDocument && ");
            if (reloadMs < 0) {
                fprintf(stderr, "%s did not become ready after a reload\n", qPrintable(path));
                return 1;
            }
            const Run reloadRun{reloadMs, t.nsecsElapsed() / 1e6, bytes, requests};
            measured.clear();
            if (i > 0) { // the first round warms the browser up
                first << firstRun;
                reload << reloadRun;
            }
            closePage(browser, session);
        }
        for (const auto &[name, runs] :
             {std::make_pair("first", first), std::make_pair("reload", reload)}) {
            QList<double> ms;
            for (const Run &r : runs)
                ms << r.pageMs;
            std::sort(ms.begin(), ms.end());
            printf("%-10s %-6s %8.1f %8.1f %8.1f %8.1f %12lld %9d\n", qPrintable(path), name,
                   ms.first(), ms.at(ms.size() / 2), ms.last(),
                   median(runs, [](const Run &r) { return r.harnessMs; }),
                   qlonglong(median(runs, [](const Run &r) { return r.bytes; })),
                   median(runs, [](const Run &r) { return r.requests; }));
        }
    }
    browser.onEvent = nullptr;

    printf("\npolling cost on the server, full view, %d s per run\n", pollSeconds);
    printf("%-6s %12s %14s %16s\n", "pages", "API req/s", "req/s per page", "server CPU ms/s");
    QStringList sessions;
    for (int pages : {1, 4, 16}) {
        while (sessions.size() < pages) {
            const QString s = browser.openPage();
            browser.call("Page.navigate", {{"url", origin + "/?theme=dark"}}, s);
            if (!browser.waitTrue(s, readyCheck("/")))
                return 1;
            sessions << s;
        }
        const int before = api.log.size();
        const double cpuBefore = cpuMs();
        QElapsedTimer t;
        t.start();
        (void)QTest::qWaitFor([&] { return false; }, pollSeconds * 1000);
        const double secs = t.nsecsElapsed() / 1e9;
        const double rps = (api.log.size() - before) / secs;
        printf("%-6d %12.1f %14.1f %16.1f\n", pages, rps, rps / pages,
               (cpuMs() - cpuBefore) / secs);
    }
    for (const QString &s : sessions)
        closePage(browser, s);
    browser.close();
    return 0;
}
