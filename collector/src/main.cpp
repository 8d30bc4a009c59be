// pylonix-collector: receives the desks' check reports and shows IT which
// desks are ready for the web application.

#include "config.h"
#include "store.h"
#include "text.h"
#include "web.h"

#include <Poco/AutoPtr.h>
#include <Poco/ConsoleChannel.h>
#include <Poco/FormattingChannel.h>
#include <Poco/Logger.h>
#include <Poco/Net/HTTPServer.h>
#include <Poco/Net/HTTPServerParams.h>
#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/PatternFormatter.h>
#include <Poco/ThreadPool.h>

#include <chrono>
#include <csignal>
#include <iostream>
#include <string>
#include <thread>

namespace {

const char* const kUsage =
    "usage: pylonix-collector [--check] CONFIG.ini\n"
    "  CONFIG.ini  the configuration (see collector.example.ini)\n"
    "  --check     read the configuration, open the database, and exit\n";

void SetUpLog()
{
    Poco::AutoPtr<Poco::PatternFormatter> format(new Poco::PatternFormatter("%Y-%m-%d %H:%M:%S %p %s: %t"));
    Poco::AutoPtr<Poco::ConsoleChannel> console(new Poco::ConsoleChannel(std::cerr));
    Poco::AutoPtr<Poco::FormattingChannel> channel(new Poco::FormattingChannel(format, console));
    Poco::Logger::root().setChannel(channel);
    Poco::Logger::root().setLevel(Poco::Message::PRIO_INFORMATION);
}

} // namespace

int main(int argc, char** argv)
{
    std::string configPath;
    bool checkOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--check") checkOnly = true;
        else if (configPath.empty() && arg[0] != '-') configPath = arg;
        else {
            std::cerr << "pylonix-collector: unknown argument " << arg << "\n" << kUsage;
            return 2;
        }
    }
    if (configPath.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    SetUpLog();

    collector::Config config;
    std::string error;
    if (!collector::LoadConfig(configPath, config, error)) {
        std::cerr << "pylonix-collector: " << error << "\n";
        return 2;
    }

    // Block the stop signals before any thread exists, so that only the
    // sigwait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<collector::Store> store = collector::Store::Open(config, error);
    if (!store) {
        std::cerr << "pylonix-collector: " << configPath << ": [store] database: " << error << "\n";
        return 3;
    }
    if (checkOnly) {
        std::cout << configPath << ": good; store " << store->Kind() << ", " << config.tokens.size()
                  << " companies, listening on " << config.host << ":" << config.port << "\n";
        return 0;
    }

    collector::Counters counters(collector::UtcNow());
    try {
        Poco::Net::ServerSocket socket(
            Poco::Net::SocketAddress(config.host, static_cast<Poco::UInt16>(config.port)), 256);
        Poco::ThreadPool pool(2, static_cast<int>(config.threads));
        auto* params = new Poco::Net::HTTPServerParams;
        params->setKeepAlive(true);
        params->setMaxThreads(static_cast<int>(config.threads));
        params->setMaxQueued(1024);
        params->setTimeout(Poco::Timespan(30, 0));
        Poco::Net::HTTPServer server(new collector::CollectorHandlerFactory(config, *store, counters), pool, socket,
                                     params);
        server.start();
        std::cout << "pylonix-collector: listening on " << socket.address().toString() << ", store "
                  << store->Kind() << std::endl;

        int sig = 0;
        sigwait(&stopSignals, &sig);
        // Requests already taken finish (their reports are committed and
        // answered) before the database closes.
        server.stop();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (server.currentThreads() > 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pool.joinAll();
    } catch (const Poco::Exception& e) {
        std::cerr << "pylonix-collector: " << configPath << ": [server] listen: " << config.host << ":"
                  << config.port << ": " << e.displayText() << "\n";
        return 3;
    }
    store.reset();
    return 0;
}
