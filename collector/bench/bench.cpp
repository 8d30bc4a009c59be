// pylonix-collector-bench: many simulated desks post reports to a running
// collector at once; then the desks page and the CSV export are timed.
//
//   pylonix-collector-bench --url http://127.0.0.1:PORT --token TOKEN
//                           [--desks 10000] [--clients 16] [--round 0] [--pages 5]
// Each desk posts one report; --round numbers it (its time and figures
// differ from round to round).
//
// Prints "reports N clients C seconds S reports/s R", then
// "page desks D bytes B median-ms M max-ms X" and the same for the CSV.
#include <Poco/Exception.h>
#include <Poco/Net/HTMLForm.h>
#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/StreamCopier.h>
#include <Poco/URI.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string url, token;
    unsigned desks = 10000, clients = 16, round = 0, pages = 5;
};

const char* const kTitles[9] = {"CPU检测", "服务器端连通性", "内存检测", "操作系统", "系统补丁",
                                "浏览器(IE)", "IE设置/优化", "系统/IE补丁检测", "第三方组件检测"};
const int kKinds[9] = {1, 7, 2, 3, 4, 5, 6, 10, 8};

// A desktop program's report: nine rows, one desk in seven with a failed
// row, every desk with both speed figures.
std::string Report(unsigned desk, unsigned round)
{
    std::string rows;
    for (int i = 0; i < 9; ++i) {
        const int state = (desk % 7 == 0 && i == 7) ? 2 : (i == 4 ? 3 : 1);
        rows += std::string(i ? ",\n" : "") + "{\"kind\": " + std::to_string(kKinds[i]) + ", \"title\": \"" +
                kTitles[i] + "\", \"description\": \"Microsoft Windows 10 专业版 10.0.19045, 64-bit\", "
                "\"installed\": 1, \"optimal\": \"\", \"progress\": " + std::to_string(11 * (i + 1)) +
                ", \"state\": " + std::to_string(state) + ", \"row\": " + std::to_string(i) + "}";
    }
    return "{\"rows\": [" + rows + "], \"download\": \"" + std::to_string(8000 + (desk * 37 + round) % 9000) +
           "KB/s\", \"upload\": \"" + std::to_string(1000 + desk % 4000) + ".5KB/s\"}";
}

std::string Form(const Options& opt, unsigned desk, unsigned round)
{
    Poco::Net::HTMLForm form;
    char machine[32];
    std::snprintf(machine, sizeof machine, "BENCH-%05u", desk);
    form.set("machine", machine);
    form.set("time", "2025-03-01 09:" + std::string(round % 60 < 10 ? "0" : "") + std::to_string(round % 60) + ":00");
    form.set("report", Report(desk, round));
    form.set("token", opt.token);
    std::ostringstream out;
    form.write(out);
    return out.str();
}

int Get(Poco::Net::HTTPClientSession& session, const std::string& path, std::size_t& bytes)
{
    Poco::Net::HTTPRequest request(Poco::Net::HTTPRequest::HTTP_GET, path, Poco::Net::HTTPMessage::HTTP_1_1);
    session.sendRequest(request);
    Poco::Net::HTTPResponse response;
    std::istream& in = session.receiveResponse(response);
    std::string body;
    Poco::StreamCopier::copyToString(in, body);
    bytes = body.size();
    return response.getStatus();
}

bool TimePage(const Options& opt, const std::string& name, const std::string& path)
{
    const Poco::URI uri(opt.url);
    Poco::Net::HTTPClientSession session(uri.getHost(), uri.getPort());
    std::vector<double> ms;
    std::size_t bytes = 0;
    for (unsigned i = 0; i < opt.pages; ++i) {
        const auto start = Clock::now();
        if (Get(session, path, bytes) != 200) {
            std::cerr << "pylonix-collector-bench: GET " << path << " failed\n";
            return false;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s bytes %zu median-ms %.1f max-ms %.1f\n", name.c_str(), bytes, ms[ms.size() / 2], ms.back());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options opt;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--url") opt.url = value;
        else if (arg == "--token") opt.token = value;
        else if (arg == "--desks") opt.desks = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (arg == "--clients") opt.clients = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (arg == "--round") opt.round = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else if (arg == "--pages") opt.pages = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        else {
            std::cerr << "pylonix-collector-bench: unknown option " << arg << "\n";
            return 2;
        }
    }
    if (opt.url.empty() || opt.token.empty() || !opt.desks || !opt.clients || !opt.pages) {
        std::cerr << "usage: pylonix-collector-bench --url URL --token TOKEN [--desks N] [--clients N]"
                     " [--round N] [--pages N]\n";
        return 2;
    }

    // The forms are made before the clock starts: the figure is the
    // collector's, not the form encoder's.
    std::vector<std::string> forms;
    for (unsigned desk = 0; desk < opt.desks; ++desk) forms.push_back(Form(opt, desk, opt.round));

    const Poco::URI uri(opt.url);
    std::atomic<std::size_t> next{0}, failed{0};
    const auto start = Clock::now();
    std::vector<std::thread> clients;
    for (unsigned c = 0; c < opt.clients; ++c)
        clients.emplace_back([&] {
            Poco::Net::HTTPClientSession session(uri.getHost(), uri.getPort());
            for (std::size_t i; (i = next++) < forms.size();) {
                try {
                    Poco::Net::HTTPRequest request(Poco::Net::HTTPRequest::HTTP_POST, "/report",
                                                   Poco::Net::HTTPMessage::HTTP_1_1);
                    request.setContentType("application/x-www-form-urlencoded");
                    request.setContentLength(static_cast<std::streamsize>(forms[i].size()));
                    session.sendRequest(request) << forms[i];
                    Poco::Net::HTTPResponse response;
                    std::istream& in = session.receiveResponse(response);
                    std::string body;
                    Poco::StreamCopier::copyToString(in, body);
                    if (response.getStatus() != 200) ++failed;
                } catch (const Poco::Exception&) {
                    ++failed;
                    session.reset();
                }
            }
        });
    for (std::thread& t : clients) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("reports %zu clients %u seconds %.2f reports/s %.0f failed %zu\n", forms.size(), opt.clients, seconds,
                forms.size() / seconds, failed.load());
    if (failed) return 1;
    std::printf("desks %u\n", opt.desks);
    if (!TimePage(opt, "page", "/") || !TimePage(opt, "page-not-ready", "/?show=notready") ||
        !TimePage(opt, "csv", "/desks.csv"))
        return 1;
    return 0;
}
