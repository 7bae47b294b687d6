// links: mxr_web mxr_demo
// The web viewer under load on loopback: 50 concurrent clients (keep-alive, one session)
// reading the report pages of 90-second records for 30 s (MXR_BENCH_WEB_SECONDS to change), as
// a browser does: the page, then its drawing (asked again with the ETag it was given, as a
// browser's cache does). A page view's latency is both requests.
// Every page's drawing is requested once before (warmup_s). Counters: page views, errors
// (anything but 200 or 304), latency p50 / p99 / max in ms, and the process's resident memory
// after the warm-up, after the first third and at the end (MB), which must stay flat.
// A second benchmark draws one report page's SVG without the cache, the cost of a first view.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/demodata.h"
#include "model/format.h"
#include "webserver.h"
#include "webtree.h"
#include "benchmain.h"

namespace {

double residentMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// The report pages of every record of about 90 s (450 points) in the demo's tree.
std::vector<std::string> reportPages(const CCustomerDB& tree)
{
    std::vector<std::string> urls;
    for (int c = 0; c < tree.customers.Count(); ++c) {
        const CCustomer& cu = tree.customers.At(c);
        for (int k = 0; k < cu.cables.Count(); ++k) {
            const CCable& ca = cu.cables.At(k);
            for (int s = 0; s < ca.sets.Count(); ++s)
                for (std::size_t i = 0; i < ca.sets.At(s).RecordCount(); ++i)
                    if (ca.sets.At(s).RecordAt(i).Points.size() == 450)
                        urls.push_back(web::RecordUrl(cu, ca, ca.sets.At(s), i));
        }
    }
    return urls;
}

void BM_ReportPagesUnderLoad(benchmark::State& state)
{
    const int clients = static_cast<int>(state.range(0));
    const char* env = std::getenv("MXR_BENCH_WEB_SECONDS");
    const auto duration = std::chrono::seconds(env ? std::atoi(env) : 30);
    CCustomerDB tree = demo::BuildStore();
    std::vector<std::string> pages = reportPages(tree);
    web::FixedSource data(std::move(tree), "demo");
    web::MemoryUserStore users({{"root", web::Role::Admin, web::HashPassword("bench-pass"), {}}});
    web::ServerOptions o;
    o.port = 0;
    o.threads = clients + 8; // one worker per kept-alive connection
    web::WebServer server(data, users, o, [](const std::string&) {});
    std::string error;
    if (!server.Bind(error) || pages.empty()) {
        state.SkipWithError(pages.empty() ? "no 90-second record" : error.c_str());
        return;
    }
    std::thread serving([&] { server.Run(); });
    while (!server.Running())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    httplib::Client login("127.0.0.1", server.Port());
    const auto r =
        login.Post("/login", "user=root&password=bench-pass", "application/x-www-form-urlencoded");
    const std::string cookie = r ? r->get_header_value("Set-Cookie").substr(0, 64 + 15) : "";
    // Every page seen once first: the figures are those of pages whose drawing is kept. The
    // cost of a first view is BM_ReportSvgFirstView's.
    const auto warm0 = std::chrono::steady_clock::now();
    for (const std::string& page : pages)
        login.Get((page + "report.svg").c_str(), httplib::Headers{{"Cookie", cookie}});
    state.counters["warmup_s"] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - warm0).count();
    const double rssWarm = residentMb();

    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::atomic<long> errors{0};
        std::mutex mutex; // protects latencies
        std::vector<double> latencies;
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c)
            threads.emplace_back([&, c] {
                httplib::Client client("127.0.0.1", server.Port());
                client.set_keep_alive(true);
                client.set_read_timeout(30);
                std::vector<double> mine;
                std::map<std::string, std::string> etags; // the client's cache of drawings
                std::size_t next = static_cast<std::size_t>(c);
                while (!stop) {
                    const std::string& page = pages[next++ % pages.size()];
                    const auto t0 = std::chrono::steady_clock::now();
                    const auto res = client.Get(page.c_str(), httplib::Headers{{"Cookie", cookie}});
                    httplib::Headers h{{"Cookie", cookie}};
                    if (const auto e = etags.find(page); e != etags.end())
                        h.emplace("If-None-Match", e->second);
                    const auto svg = client.Get((page + "report.svg").c_str(), h);
                    mine.push_back(std::chrono::duration<double, std::milli>(
                                       std::chrono::steady_clock::now() - t0)
                                       .count());
                    if (!res || res->status != 200 || res->body.find("<dl") == std::string::npos ||
                        !svg || (svg->status != 200 && svg->status != 304))
                        ++errors;
                    else if (svg->status == 200)
                        etags[page] = svg->get_header_value("ETag");
                }
                std::lock_guard lock(mutex);
                latencies.insert(latencies.end(), mine.begin(), mine.end());
            });
        std::this_thread::sleep_for(duration / 3);
        const double rssThird = residentMb();
        std::this_thread::sleep_for(duration - duration / 3);
        stop = true;
        for (auto& t : threads)
            t.join();
        const double rssEnd = residentMb();
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double q) {
            return latencies.empty()
                       ? 0.0
                       : latencies[std::min(latencies.size() - 1,
                                            static_cast<std::size_t>(q * latencies.size()))];
        };
        state.counters["requests"] = static_cast<double>(latencies.size());
        state.counters["errors"] = static_cast<double>(errors.load());
        state.counters["p50_ms"] = at(0.50);
        state.counters["p99_ms"] = at(0.99);
        state.counters["max_ms"] = latencies.empty() ? 0 : latencies.back();
        state.counters["rss_warm_MB"] = rssWarm;
        state.counters["rss_third_MB"] = rssThird;
        state.counters["rss_end_MB"] = rssEnd;
        state.counters["pages"] = static_cast<double>(pages.size());
    }
    server.Stop();
    serving.join();
}
BENCHMARK(BM_ReportPagesUnderLoad)->Arg(50)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ReportSvgFirstView(benchmark::State& state)
{
    const CCustomerDB tree = demo::BuildStore();
    const CCustomer& cu = tree.customers.At(0);
    const CMeasData& set = cu.cables.At(0).sets.At(0);
    web::ReportRenderer renderer({}, 1);
    std::uint64_t generation = 0;
    for (auto _ : state) {
        const std::string svg =
            renderer.Svg({&cu, &cu.cables.At(0), &set, &set.RecordAt(0), 0}, ++generation);
        benchmark::DoNotOptimize(svg.data());
        state.counters["svg_kB"] = static_cast<double>(svg.size()) / 1024.0;
    }
}
BENCHMARK(BM_ReportSvgFirstView)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return RunQtBenchmarks(argc, argv);
}
