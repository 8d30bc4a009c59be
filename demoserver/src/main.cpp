// pylonix-demo-server: stands in for the company web server when the
// workstation tool is tested. Loopback only.

#include "DemoRequestHandler.h"
#include "DemoState.h"

#include <Poco/Net/HTTPServer.h>
#include <Poco/Net/HTTPServerParams.h>
#include <Poco/Net/IPAddress.h>
#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* const kUsage =
    "usage: pylonix-demo-server [--port N] [--root DIR] [--fault PATH=MODE]... [--port-file FILE]\n"
    "                           [--speed-file-mib N] [--host ADDRESS]\n"
    "  --port N            port (0 = any free port, default)\n"
    "  --host ADDRESS      IPv4 address to listen on (default 127.0.0.1)\n"
    "  --root DIR          serve files from DIR, overriding built-in content\n"
    "  --fault PATH=MODE   MODE is 404, 302, empty, cut, stall, more, nolength,\n"
    "                      rate:N (bytes per second) or normal; repeatable. On the upload page,\n"
    "                      cut reads 64 KiB of a post and drops the connection,\n"
    "                      rate:N reads the post at N bytes per second\n"
    "  --port-file FILE    write the port number to FILE once listening\n"
    "  --speed-file-mib N  size of the speed-test download in MiB (20 to 1024,\n"
    "                      default 32)\n";

struct Options {
    unsigned port = 0;
    std::string host = "127.0.0.1";
    std::string root;
    std::string portFile;
    unsigned speedFileMiB = 32;
    std::vector<std::pair<std::string, demo::Fault>> faults;
};

[[noreturn]] void usageError(const std::string& message)
{
    std::cerr << "pylonix-demo-server: " << message << "\n" << kUsage;
    std::exit(2);
}

Options parseArgs(int argc, char** argv)
{
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (i + 1 >= argc)
            usageError("unknown option or missing value: " + arg);
        const std::string value = argv[++i];
        if (arg == "--port") {
            char* end = nullptr;
            const unsigned long port = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end || port > 65535)
                usageError("bad port: " + value);
            opt.port = static_cast<unsigned>(port);
        } else if (arg == "--speed-file-mib") {
            char* end = nullptr;
            const unsigned long mib = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || value[0] == '-' || *end || mib < demo::DemoState::kMinSpeedFileMiB ||
                mib > demo::DemoState::kMaxSpeedFileMiB)
                usageError("bad speed file size: " + value);
            opt.speedFileMiB = static_cast<unsigned>(mib);
        } else if (arg == "--host") {
            Poco::Net::IPAddress address;
            if (!Poco::Net::IPAddress::tryParse(value, address) || address.family() != Poco::Net::AddressFamily::IPv4)
                usageError("bad host address: " + value);
            opt.host = value;
        } else if (arg == "--root") {
            opt.root = value;
        } else if (arg == "--port-file") {
            opt.portFile = value;
        } else if (arg == "--fault") {
            // Split at the last '=': a path may contain one, a mode never does.
            const auto eq = value.rfind('=');
            demo::Fault fault;
            if (eq == std::string::npos || value[0] != '/' || !demo::parseFault(value.substr(eq + 1), fault))
                usageError("bad fault: " + value);
            opt.faults.emplace_back(value.substr(0, eq), fault);
        } else {
            usageError("unknown option: " + arg);
        }
    }
    return opt;
}

// Readers poll for the file, so it must never be seen half written.
bool writePortFile(const std::string& file, unsigned port)
{
    const std::string tmp = file + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << port << "\n";
        if (!out.flush())
            return false;
    }
    return std::rename(tmp.c_str(), file.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const Options opt = parseArgs(argc, argv);

    // Block the stop signals before any server thread exists so only the
    // sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // clients that hang up early are normal here

    demo::DemoState state(opt.root, opt.speedFileMiB);
    for (const auto& f : opt.faults)
        state.setFault(f.first, f.second);

    try {
        Poco::Net::ServerSocket socket(Poco::Net::SocketAddress(opt.host, static_cast<Poco::UInt16>(opt.port)));
        auto* params = new Poco::Net::HTTPServerParams;
        params->setKeepAlive(true);
        params->setMaxThreads(32);
        params->setTimeout(Poco::Timespan(30, 0));
        Poco::Net::HTTPServer server(new demo::DemoRequestHandlerFactory(state), socket, params);
        server.start();

        const unsigned port = socket.address().port();
        if (!opt.portFile.empty() && !writePortFile(opt.portFile, port)) {
            std::cerr << "pylonix-demo-server: cannot write " << opt.portFile << "\n";
            server.stopAll(true);
            return 1;
        }
        std::cout << "demo server listening on " << opt.host << ":" << port << std::endl;

        int sig = 0;
        sigwait(&stopSignals, &sig);
        server.stopAll(true);
    } catch (const Poco::Exception& e) {
        std::cerr << "pylonix-demo-server: " << e.displayText() << "\n";
        return 1;
    }
    return 0;
}
