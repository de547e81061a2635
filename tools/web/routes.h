// The bench page's requests: each page and action, behind the checks every request passes
// (the host it names, the session, the role, the CSRF token of a change).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "access.h"
#include "archive/archive.h"
#include "bench.h"
#include "events.h"
#include "kept.h"
#include "lab_watch.h"
#include "listen.h"
#include "shared_answer.h"
#include "workspace/workspace.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace kvtweb {

// What the requests share: the workspace (its lab file read again when it changes), open
// archives to lend, the sessions, the calibrators.
class Site {
  public:
    Site(kvtapp::Workspace::Settings settings, const ListenAddress& address, bool login,
         WorkerLaunch launch);
    ~Site();

    void route(httplib::Server& server);
    Bench& bench() { return bench_; }
    EventHub& hub() { return hub_; }

    // The workspace as the lab file stands now, or as it was last read well.
    std::shared_ptr<const kvtapp::Workspace> workspace() { return lab_.current().workspace; }

  private:
    class Lease;
    struct Request;
    using Handler = std::function<void(Request&)>;

    void handle(const httplib::Request& req, httplib::Response& res, Action action,
                const Handler& handler);
    bool hostAllowed(const httplib::Request& req) const;

    // The pages and actions.
    void instruments(Request& r);
    void due(Request& r);
    void instrument(Request& r);
    void drift(Request& r);
    void calibration(Request& r);
    void certificate(Request& r, bool pdf);
    void issue(Request& r);
    void confirmDate(Request& r);
    void interval(Request& r);
    void dcc(Request& r);
    void standards(Request& r);
    void affected(Request& r);
    void audit(Request& r, bool verify);
    void calibrators(Request& r);
    void addPort(Request& r);
    void operation(Request& r);
    void login(Request& r);
    void events(const httplib::Request& req, httplib::Response& res);
    // Every instrument with its due date, kept while the archive, the lab file and the day stay.
    std::shared_ptr<const std::vector<kvtapp::Instrument>> instrumentList(Request& r);

    const ListenAddress address_;
    LabWatch lab_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<kvtarchive::Archive>> archives_;  // open, not lent
    // Pages made of the archive, by what they depend on (see Request::cached), and the list of
    // instruments of the latest state.
    Kept<std::string> pages_;
    Kept<std::vector<kvtapp::Instrument>> lists_;
    SharedAnswer revision_;  // the archive's, asked once for the requests that wait together

    Access access_;
    EventHub hub_;
    Bench bench_;
    std::string scratch_;          // procedure descriptions on their way to a worker
    const std::string tokenMark_;  // stands for the CSRF token in kept pages: see Request::cached
    std::string location_;         // the archive's, as resolved at the start
};

}  // namespace kvtweb
