// The clients of the bench page's load script (web_load.py): CLIENTS threads, each with its own
// connection to 127.0.0.1:PORT, ask for the paths in turn, each client for another at any moment
// (request i of client n is path i * CLIENTS + n), until REQUESTS each or SECONDS have passed.
// Prints one line of JSON: the answers, their times in ms (50th and 95th percentile, largest), the
// errors and how long it took. A C++ client, so that the figures are the server's. Usage:
// web_load_client PORT CLIENTS REQUESTS SECONDS PATH...
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p / 100 * double(values.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::cerr << "usage: web_load_client PORT CLIENTS REQUESTS SECONDS PATH...\n";
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int clients = std::atoi(argv[2]);
    const int requests = std::atoi(argv[3]);
    const auto deadline = Clock::now() + std::chrono::duration<double>(std::atof(argv[4]));
    const std::vector<std::string> paths(argv + 5, argv + argc);
    std::mutex mutex;
    std::vector<double> times;
    size_t errors = 0;
    const auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int n = 0; n < clients; ++n) {
        threads.emplace_back([&, n] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_read_timeout(60);
            std::vector<double> mine;
            size_t failed = 0;
            for (int i = 0; i < requests && Clock::now() < deadline; ++i) {
                const std::string& path = paths[size_t(i * clients + n) % paths.size()];
                const auto t0 = Clock::now();
                const auto reply = client.Get(path.c_str());
                if (!reply || reply->status != 200) {
                    ++failed;
                    continue;
                }
                mine.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            }
            std::lock_guard<std::mutex> lock(mutex);
            times.insert(times.end(), mine.begin(), mine.end());
            errors += failed;
        });
    }
    for (std::thread& t : threads)
        t.join();
    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    std::cout << "{\"answers\": " << times.size() << ", \"p50\": " << percentile(times, 50)
              << ", \"p95\": " << percentile(times, 95) << ", \"max\": "
              << (times.empty() ? 0 : *std::max_element(times.begin(), times.end()))
              << ", \"errors\": " << errors << ", \"seconds\": " << took << "}\n";
    return errors ? 1 : 0;
}
