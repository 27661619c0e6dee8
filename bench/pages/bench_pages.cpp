// Time to a loaded, polling browser page on loopback, and what the pages'
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

    printf("time to a loaded, polling page (navigation to first answers shown), %d loads each\n",
           loads);
    printf("%-10s %8s %8s %8s %22s\n", "view", "min ms", "median", "max ms",
           "median load event ms");
    for (const QString path : {"/", "/camera", "/switcher"}) {
        QList<double> ms;
        QList<double> loadEvent;
        for (int i = 0; i <= loads; ++i) {
            const QString session = browser.openPage();
            QElapsedTimer t;
            t.start();
            browser.call("Page.navigate", {{"url", origin + path + "?theme=dark"}}, session);
            if (!browser.waitTrue(session, readyCheck(path))) {
                fprintf(stderr, "%s did not become ready\n", qPrintable(path));
                return 1;
            }
            if (i > 0) { // the first load warms the browser up
                ms << t.nsecsElapsed() / 1e6;
                loadEvent << browser
                                 .eval(session, "performance.getEntriesByType('navigation')[0]"
                                                ".loadEventEnd")
                                 .toDouble();
            }
            closePage(browser, session);
        }
        std::sort(ms.begin(), ms.end());
        std::sort(loadEvent.begin(), loadEvent.end());
        printf("%-10s %8.1f %8.1f %8.1f %22.1f\n", qPrintable(path), ms.first(),
               ms.at(ms.size() / 2), ms.last(), loadEvent.at(loadEvent.size() / 2));
    }

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
