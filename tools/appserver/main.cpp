// appserver: the local application server (see --help).
#include "AppServer.h"
#include "NotificationServer.h"
#include "ServerOptions.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

// Ends the process at once. The HTTP library's own stop would wait for the
// connections that clients keep open (up to the keep-alive time-out) and
// for calls still running; every database change is committed when it is
// made, so nothing is lost.
[[noreturn]] void Shutdown()
{
    std::cout.flush();
    std::cerr.flush();
    _exit(0);
}

// SIGINT and SIGTERM are blocked in every thread and taken by one that
// waits for them.
void WatchSignals(const sigset_t& signals)
{
    std::thread([signals] {
        int signal = 0;
        sigwait(&signals, &signal);
        Shutdown();
    }).detach();
}

void WatchStdin()
{
    std::thread([] {
        char buffer[256];
        while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
        }
        Shutdown();
    }).detach();
}

} // namespace

int Run(int argc, char** argv)
{
    TServerOptions options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::cerr << "appserver: " << e.what() << "\n";
        return 2;
    }
    if (options.Help) {
        std::cout << HelpText();
        return 0;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that goes away mid-reply must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        // The notification server runs in the event loop of this thread, the
        // HTTP server on a thread of its own.
        QCoreApplication app(argc, argv);
        TAppServer server(options);
        const int port = server.Bind();
        if (port < 0) {
            std::cerr << "appserver: cannot listen on 127.0.0.1:" << options.Port << "\n";
            return 1;
        }
        TNotificationServer notifications(
            options, [&server](const std::string& id) { return server.Sessions().Peek(id); });
        const int notifyPort = notifications.Listen(options.NotifyPort);
        if (notifyPort < 0) {
            std::cerr << "appserver: cannot listen on 127.0.0.1:" << options.NotifyPort << "\n";
            return 1;
        }
        server.SetNotifyPort(notifyPort);
        server.SetRelay([&notifications](const std::string& message, const std::string& parameter,
                                         const std::string& value) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [&notifications, message, parameter, value] { notifications.Relay(message, parameter, value); },
                Qt::QueuedConnection);
        });
        int secureNotifyPort = -1;
        if (!options.NotifyTlsCert.empty()) {
            std::string error;
            secureNotifyPort =
                notifications.ListenSecure(options.NotifyTlsPort, options.NotifyTlsCert, options.NotifyTlsKey, error);
            if (secureNotifyPort < 0) {
                std::cerr << "appserver: TLS links: " << error << "\n";
                return 1;
            }
        }
        WatchSignals(signals);
        if (options.WatchStdin)
            WatchStdin();
        std::cout << "appserver listening on 127.0.0.1:" << port << std::endl;
        std::cout << "appserver notifications on 127.0.0.1:" << notifyPort << std::endl;
        if (secureNotifyPort >= 0)
            std::cout << "appserver secure notifications on 127.0.0.1:" << secureNotifyPort << std::endl;
        std::thread([&server] {
            server.Listen();
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                                      Qt::QueuedConnection);
        }).detach();
        app.exec();
    } catch (const std::exception& e) {
        std::cerr << "appserver: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    const int rc = Run(argc, argv);
    std::cout.flush();
    _exit(rc);
}
