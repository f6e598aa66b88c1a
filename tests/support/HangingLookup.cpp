// A program whose host-name lookups never end, started by tst_http: one fetch is waited for and
// one is not. It prints the first's outcome and how many lookups were asked for, then ends
// the way every Qt program ends: the event loop returns, the objects go, main returns.

#include "platform/HttpFetcher.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    static std::atomic<int> asked{0};
    inkvale::HttpFetcher fetcher([](const QString&) -> QList<QHostAddress> {
        asked.fetch_add(1);
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    });
    // Nobody waits for this one; it would end only at its own deadline, a minute away.
    fetcher.getAndDiscard(QUrl(QStringLiteral("http://www.inkvale.example/")));
    fetcher.get(QUrl(QStringLiteral("http://update.inkvale.example/files/vermo.txt")),
                std::chrono::milliseconds(300), 1024, &app, [](const inkvale::HttpReply& reply) {
                    std::printf("%s\nasked %d\n", qPrintable(reply.error), asked.load());
                    QCoreApplication::quit();
                });
    return QCoreApplication::exec();
}
