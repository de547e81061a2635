#include "serve.h"

#include <httplib.h>
#include <signal.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <thread>

#include "base/error.h"
#include "listen.h"
#include "routes.h"

namespace kvtweb {
namespace {

// Requests served at once; a live page holds one for as long as it is open.
constexpr size_t kThreads = 64;
// A procedure description, the largest thing posted, is at most 64 MiB like any input file.
constexpr size_t kLargestRequest = 65 << 20;
// Connections waiting to be accepted: twenty browsers that connect at once are all heard at once
// (with the library's 5 the rest of a burst is dropped and sent again by the browsers a second
// later).
constexpr int kBacklog = 128;

// Heaps malloc keeps: glibc gives a thread that meets another in malloc a heap of its own, up to
// eight a core, and keeps in each what is freed there. The pool's threads make and let go of
// pages and SQLite's caches all day; spread over sixteen heaps, what malloc held grew to twice
// what was in use. Set before the pool's threads first allocate: the limit is read once, when
// the ninth heap would be made.
constexpr int kHeaps = 2;

// Gives back to the system, every so often, the pages malloc keeps free inside its heaps: what a
// burst of requests let go of stays resident otherwise, and gathers between the pages in use.
class Trimming {
  public:
    Trimming() : thread_([this] { run(); }) {}
    ~Trimming() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_one();
        thread_.join();
    }

  private:
    static constexpr std::chrono::seconds kEvery{10};

    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopped_.wait_for(lock, kEvery, [this] { return stop_; })) {
#ifdef __GLIBC__
            malloc_trim(0);
#endif
        }
    }

    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::thread thread_;
};

WorkerLaunch workerLaunch(const ServeOptions& o, const std::string& archive) {
    WorkerLaunch launch;
    launch.program = o.program;
    if (!o.settings.lab.empty())
        launch.options.insert(launch.options.end(), {"--lab", o.settings.lab});
    if (!o.settings.technician.empty())
        launch.options.insert(launch.options.end(), {"--technician", o.settings.technician});
    launch.options.insert(launch.options.end(),
                          {"--timeout", std::to_string(o.link.timeoutMs), "--attempts",
                           std::to_string(o.link.attempts), "-q"});
    // In the environment, not the arguments: a password in the location stays out of the list
    // of processes.
    launch.environment.push_back("KVTLNK_ARCHIVE=" + archive);
    return launch;
}

}  // namespace

int serve(const ServeOptions& options) {
#ifdef __GLIBC__
    mallopt(M_ARENA_MAX, kHeaps);
#endif
    const ListenAddress address = parseListen(options.listen);
    const bool login = options.login || !address.loopback();
    kvtapp::Workspace workspace(options.settings);
    if (login && workspace.lab().users.empty()) {
        throw kvtapp::inputError(
            "listening on " + address.text() +
            " needs users to sign in: add them to the lab file " + workspace.labPath() +
            " with kvtlnk lab passwd NAME --role technician (or \"quality manager\"), or listen "
            "on 127.0.0.1, where this machine's user needs no sign-in");
    }
    const std::string archive = workspace.archiveLocation();
    // Made where there is none yet, as the uploads of its calibrators store into it; brought up to
    // date, or its problem said, before listening.
    workspace.openArchive(kvtarchive::Access::Store);

    signal(SIGPIPE, SIG_IGN);  // a worker or a browser gone is seen where it is written to

    Site site(options.settings, address, login, workerLaunch(options, archive));
    const Trimming trimming;
    for (const std::string& port : options.ports)
        site.bench().add(port);
    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    server.set_payload_max_length(kLargestRequest);
    server.set_keep_alive_max_count(1000);
    server.set_tcp_nodelay(true);  // a small page is sent at once, not after the ACK of its headers
    site.route(server);
    socket_t listening = INVALID_SOCKET;
    server.set_socket_options([&](socket_t s) {
        httplib::default_socket_options(s);
        listening = s;
    });
    if (!server.bind_to_port(address.host.c_str(), address.port)) {
        throw kvtapp::inputError("cannot listen on " + address.text() +
                                 ": the port is taken, or the address is not this machine's");
    }
    ::listen(listening, kBacklog);  // listening again on a socket only sets its backlog
    if (options.stopWith) {
        options.stopWith([&] {
            site.hub().close();
            server.stop();
        });
    }
    std::cerr << "kvtlnk: serving the bench page on http://" << address.text() << "/"
              << (login ? " (sign-in needed)" : "") << "; Ctrl-C stops it" << std::endl;
    server.listen_after_bind();
    if (options.stopWith) options.stopWith({});
    return 0;
}

}  // namespace kvtweb
