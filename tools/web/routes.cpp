#include "routes.h"

#include <httplib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "assets.h"
#include "base/error.h"
#include "base/escape.h"
#include "base/files.h"
#include "base/platform.h"
#include "base/time.h"
#include "certificate/pdf.h"
#include "dcc/dcc.h"
#include "pages.h"
#include "passwords.h"
#include "render/report.h"
#include "say.h"
#include "workspace/certificates.h"
#include "workspace/store.h"

namespace kvtweb {

using json = nlohmann::ordered_json;
using kvtapp::Error;

namespace {

// Headers of every reply: the page runs only the server's own script and style sheet, in no
// frame, tells other sites nothing of where it came from (this one its origin, which a form's
// Origin header needs), and no reply is kept in a cache.
void secure(httplib::Response& res) {
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
                   "img-src 'self' data:; connect-src 'self'; form-action 'self'; "
                   "frame-ancestors 'none'; base-uri 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("X-Frame-Options", "DENY");
    res.set_header("Referrer-Policy", "same-origin");
    res.set_header("Cache-Control", "no-store");
}

std::string cookieValue(const httplib::Request& req, const char* name) {
    const std::string header = req.get_header_value("Cookie");
    const std::string key = std::string(name) + "=";
    for (size_t at = 0; at < header.size();) {
        while (at < header.size() && (header[at] == ' ' || header[at] == ';'))
            ++at;
        const size_t end = std::min(header.find(';', at), header.size());
        if (header.compare(at, key.size(), key) == 0)
            return header.substr(at + key.size(), end - at - key.size());
        at = end;
    }
    return "";
}

bool wantsJson(const httplib::Request& req) {
    return req.get_header_value("Accept").find("application/json") != std::string::npos;
}

// A path of this site to go on to after signing in; "/" for anything else.
std::string localPath(const std::string& next) {
    if (next.empty() || next[0] != '/' || next.rfind("//", 0) == 0 ||
        next.find_first_of("\\\r\n") != std::string::npos) {
        return "/";
    }
    return next;
}

double optionalNumber(const std::string& text, const char* what) {
    if (text.empty()) return kvtapp::kNone;
    try {
        size_t used = 0;
        const double v = std::stod(text, &used);
        if (used == text.size() && std::isfinite(v)) return v;
    } catch (const std::exception&) {
    }
    throw kvtapp::inputError(std::string(what) + " \"" + text + "\" is not a number");
}

// Who the person at this machine is when no sign-in is needed: the lab's technician, else the
// user of the system.
std::string localName(const kvtapp::Workspace& workspace) {
    const std::string technician = workspace.technician();
    return technician.empty() ? kvtapp::platform::userName() : technician;
}

// "2025-01-31" as the day it names, checked; "" stays "".
std::string dayField(const std::string& text, const char* what) {
    if (text.empty()) return text;
    const std::optional<int64_t> day = kvtapp::dayOfStamp(text);
    if (!day || text.size() != 10)
        throw kvtapp::inputError(std::string(what) + " \"" + text +
                                 "\" is not a day: give it as YYYY-MM-DD");
    return kvtapp::dateOfDay(*day);
}

// What the kept pages may take at most.
constexpr size_t kKeptPageBytes = 64 << 20;
// Open archives kept for the next requests: twenty visitors at once find one each.
constexpr size_t kArchivesKept = 24;

}  // namespace

// An archive lent to one request, given back after it unless it failed.
class Site::Lease {
  public:
    explicit Lease(Site& site) : site_(site) {
        {
            std::lock_guard<std::mutex> lock(site.mutex_);
            if (!site.archives_.empty()) {
                archive_ = std::move(site.archives_.back());
                site.archives_.pop_back();
            }
        }
        if (!archive_) archive_ = site.workspace()->openArchive(kvtarchive::Access::Change);
    }
    // Each open archive keeps a cache of its pages (up to 2 MB with SQLite): beyond the requests
    // the page serves at once day to day, the archive of a request is closed after it rather than
    // kept, so that a burst of visitors does not leave one open for each.
    ~Lease() {
        if (failed_) return;
        std::lock_guard<std::mutex> lock(site_.mutex_);
        if (site_.archives_.size() < kArchivesKept) site_.archives_.push_back(std::move(archive_));
    }
    kvtarchive::Archive& operator*() { return *archive_; }
    void failed() { failed_ = true; }

  private:
    Site& site_;
    std::unique_ptr<kvtarchive::Archive> archive_;
    bool failed_ = false;
};

struct Site::Request {
    Site& site;
    const httplib::Request& http;
    httplib::Response& res;
    Visitor visitor;
    std::shared_ptr<const kvtapp::Workspace> workspace;
    std::string labStamp, labProblem;  // of the lab file as this request found it
    std::unique_ptr<Lease> lease;
    std::string state;  // the archive's revision, the lab file's and the day: see stateKey

    // The archive, its changes audited as the signed-in user's (else the person at this
    // machine's), made through the page the request names.
    kvtarchive::Archive& archive() {
        if (!lease) lease = std::make_unique<Lease>(site);
        (**lease).setActor({visitor.user.empty() ? localName(*workspace) : visitor.user,
                            "kvtlnk serve: " + http.method + " " + http.path, ""});
        return **lease;
    }

    // What pages made of the archive depend on besides the request: the archive's revision,
    // the lab file and the day (for due dates); asked once a request.
    const std::string& stateKey() {
        if (state.empty()) {
            state = site.revision_.get([this] { return archive().revision(); }) + "|" + labStamp +
                    "|" + std::to_string(kvtapp::today());
        }
        return state;
    }

    // The body this request shows: the one made before for the same request, role and state,
    // else made now and kept. make draws the body for a visitor whose forms carry a mark in
    // place of the CSRF token, so that a kept body is everyone's and each gets their own token.
    Html cached(const std::function<Html(const Visitor&)>& make) {
        site.pages_.keepState(stateKey());
        const std::string key =
            stateKey() + "|" + (visitor.local ? "*" : visitor.role) + "|" + http.target;
        const auto kept = site.pages_.get(key, [&]() -> std::shared_ptr<const std::string> {
            Visitor anyone = visitor;
            anyone.csrf = site.tokenMark_;
            const Html body = make(anyone);
            if (body.empty()) return nullptr;  // nothing found: asked again next time
            return std::make_shared<const std::string>(body.str());
        });
        if (!kept) return Html();
        std::string mine = *kept;
        for (size_t at = mine.find(site.tokenMark_); at != std::string::npos;
             at = mine.find(site.tokenMark_, at + visitor.csrf.size()))
            mine.replace(at, site.tokenMark_.size(), visitor.csrf);
        return Html::trusted(mine);
    }

    // A field of the query, of a form, or of a multipart form.
    std::string field(const char* name) const {
        if (http.has_param(name)) return http.get_param_value(name);
        if (http.has_file(name)) return http.get_file_value(name).content;
        return "";
    }

    void page(const std::string& title, const std::string& section, const Html& body,
              int status = 200) {
        std::string notice;
        if (!labProblem.empty()) {
            notice = "The lab file " + workspace->labPath() + " cannot be used (" +
                     withoutPassword(labProblem, site.location_) +
                     "): this page works with the lab file as it was last read. Fix the file; "
                     "the next page takes it.";
        }
        const Frame frame{visitor, section, workspace->lab().name, shownLocation(site.location_),
                          notice};
        res.status = status;
        res.set_content(framedPage(title, frame, body), "text/html; charset=utf-8");
    }

    void redirect(const std::string& to) {
        res.status = 303;
        res.set_header("Location", to);
    }

    // A refusal or failure: JSON for the page's script, else a page saying it.
    void refuse(int status, const std::string& message, const json& problems = json::array()) {
        if (wantsJson(http)) {
            res.status = status;
            res.set_content(json{{"error", message}, {"problems", problems}}.dump(
                                -1, ' ', false, json::error_handler_t::replace),
                            "application/json");
            return;
        }
        page("Not done", "", problemBody(message), status);
    }

    // A change done: JSON for the page's script, else back to the page the form was on.
    void changed(const std::string& back, const std::string& message = "") {
        if (wantsJson(http)) {
            res.set_content(json{{"ok", true}, {"message", message}}.dump(), "application/json");
        } else {
            redirect(back);
        }
    }
};

Site::Site(kvtapp::Workspace::Settings settings, const ListenAddress& address, bool login,
           WorkerLaunch launch)
    : address_(address),
      lab_(std::move(settings)),
      pages_(kKeptPageBytes, [](const std::string& page) { return page.size(); }),
      lists_(1, [](const std::vector<Instrument>&) { return size_t(1); }),
      access_(login || !address.loopback(), localName(*workspace())),
      bench_(std::move(launch), hub_),
      scratch_(kvtapp::platform::makeScratchFolder("kvtlnk-serve")),
      tokenMark_(randomToken()) {
    location_ = workspace()->archiveLocation();
}

Site::~Site() {
    hub_.close();
    std::error_code unseen;
    std::filesystem::remove_all(scratch_, unseen);
}

bool Site::hostAllowed(const httplib::Request& req) const {
    if (!address_.loopback()) return true;
    // A page of another site that a name of its own points at this machine (DNS rebinding)
    // names that site as the host: only this machine's names are served.
    const std::string host = req.get_header_value("Host");
    const std::string port = ":" + std::to_string(address_.port);
    for (const char* name : {"127.0.0.1", "localhost", "[::1]"}) {
        if (host == name + port) return true;
    }
    return host == address_.text();
}

void Site::handle(const httplib::Request& req, httplib::Response& res, Action action,
                  const Handler& handler) {
    secure(res);
    if (!hostAllowed(req)) {
        res.status = 421;
        res.set_content("this server answers to 127.0.0.1 and localhost only\n", "text/plain");
        return;
    }
    Request r{*this, req, res, access_.visitor(cookieValue(req, Access::kCookie)), nullptr, {},
              {},    {},  {}};
    if (r.visitor.fresh) res.set_header("Set-Cookie", Access::cookie(r.visitor));
    const bool change = req.method == "POST";
    try {
        LabWatch::Current lab = lab_.current();
        r.workspace = std::move(lab.workspace);
        r.labStamp = std::move(lab.stamp);
        r.labProblem = std::move(lab.problem);
        if (change) {
            const std::string origin = req.get_header_value("Origin");
            const std::string token = req.has_header("X-CSRF-Token")
                                          ? req.get_header_value("X-CSRF-Token")
                                          : r.field("csrf");
            if ((!origin.empty() && origin != "http://" + req.get_header_value("Host")) ||
                !access_.tokenMatches(r.visitor, token)) {
                r.refuse(403,
                         "This form has expired or did not come from this page: load the "
                         "page again and retry.");
                return;
            }
        }
        const bool signingIn = req.path == "/login";
        if (!signingIn && r.visitor.user.empty()) {
            if (change) {
                r.refuse(401, "Sign in first.");
            } else {
                r.redirect("/login?next=" + queryEscape(req.target));
            }
            return;
        }
        if (!signingIn && !r.visitor.may(action)) {
            r.refuse(403, "Your role (" + r.visitor.role + ") does not allow this.");
            return;
        }
        handler(r);
    } catch (const Error& e) {
        if (r.lease) r.lease->failed();
        json problems = json::array();
        for (const kvtapp::Problem& p : e.problems())
            problems.push_back({{"field", p.field}, {"message", p.message}});
        r.refuse(e.fault() == kvtapp::Fault::Input ? 400 : 500,
                 withoutPassword(e.what(), location_), problems);
    } catch (const std::exception& e) {
        if (r.lease) r.lease->failed();
        r.refuse(500, withoutPassword(e.what(), location_));
    }
}

void Site::route(httplib::Server& server) {
    using httplib::Request;
    using httplib::Response;
    auto get = [&](const char* path, Action action, void (Site::*page)(Site::Request&)) {
        server.Get(path, [this, action, page](const Request& req, Response& res) {
            handle(req, res, action, [this, page](Site::Request& r) { (this->*page)(r); });
        });
    };
    auto post = [&](const char* path, Action action, void (Site::*page)(Site::Request&)) {
        server.Post(path, [this, action, page](const Request& req, Response& res) {
            handle(req, res, action, [this, page](Site::Request& r) { (this->*page)(r); });
        });
    };
    server.Get("/", [](const Request&, Response& res) { res.set_redirect("/instruments", 303); });
    get("/instruments", Action::Read, &Site::instruments);
    get("/due", Action::Read, &Site::due);
    get("/instrument", Action::Read, &Site::instrument);
    get("/drift", Action::Read, &Site::drift);
    get(R"(/calibrations/(\d+))", Action::Read, &Site::calibration);
    server.Get(R"(/calibrations/(\d+)/certificate\.(html|pdf))", [this](const Request& req,
                                                                        Response& res) {
        const bool draft = req.has_param("draft");
        handle(req, res, draft ? Action::DraftCertificate : Action::Read,
               [this, &req](Site::Request& r) { certificate(r, req.matches[2] == "pdf"); });
    });
    post(R"(/calibrations/(\d+)/issue)", Action::IssueCertificate, &Site::issue);
    post(R"(/calibrations/(\d+)/confirm-date)", Action::IssueCertificate, &Site::confirmDate);
    post("/instrument/interval", Action::IssueCertificate, &Site::interval);
    get(R"(/calibrations/(\d+)/dcc\.xml)", Action::Read, &Site::dcc);
    get("/standards", Action::Read, &Site::standards);
    get("/standards/(.+)", Action::Read, &Site::affected);
    server.Get("/audit", [this](const Request& req, Response& res) {
        handle(req, res, Action::Read, [this](Site::Request& r) { audit(r, false); });
    });
    server.Get("/audit/verify", [this](const Request& req, Response& res) {
        handle(req, res, Action::Verify, [this](Site::Request& r) { audit(r, true); });
    });
    get("/calibrators", Action::Read, &Site::calibrators);
    post("/calibrators/add", Action::Calibrate, &Site::addPort);
    post("/calibrators/op", Action::Calibrate, &Site::operation);
    get("/login", Action::Read, &Site::login);
    post("/login", Action::Read, &Site::login);
    server.Post("/logout", [this](const Request& req, Response& res) {
        handle(req, res, Action::Read, [this](Site::Request& r) {
            access_.signOut(r.visitor);
            r.redirect("/login");
        });
    });
    server.Get("/events", [this](const Request& req, Response& res) { events(req, res); });
    server.Get(R"(/static/([a-z]+\.(css|js)))", [](const Request& req, Response& res) {
        secure(res);
        const Asset* a = asset(req.matches[1]);
        if (!a) {
            res.status = 404;
            return;
        }
        res.set_content(a->content, a->type);
    });
}

std::shared_ptr<const std::vector<Instrument>> Site::instrumentList(Request& r) {
    return lists_.get(r.stateKey(), [&] {
        return std::make_shared<const std::vector<Instrument>>(
            kvtapp::instrumentsOf(*r.workspace, r.archive(), kvtapp::today()));
    });
}

void Site::instruments(Request& r) {
    const InstrumentFilter filter{r.field("q"), r.field("status"), r.field("customer")};
    r.page("Instruments", "instruments",
           r.cached([&](const Visitor&) { return instrumentsBody(*instrumentList(r), filter); }));
}

void Site::due(Request& r) {
    r.page("Due", "due", r.cached([&](const Visitor&) { return dueBody(*instrumentList(r)); }));
}

void Site::instrument(Request& r) {
    const std::string tag = r.field("tag");
    bool found = true;
    const Html body = r.cached([&](const Visitor& anyone) {
        std::vector<Calibration> calibrations = r.archive().history(tag);
        kvtapp::judgeByLab(*r.workspace, r.archive(), calibrations);
        const auto list = instrumentList(r);
        const auto it = std::find_if(list->begin(), list->end(),
                                     [&](const Instrument& i) { return i.tag == tag; });
        found = it != list->end() || !calibrations.empty();
        if (!found) return Html();
        std::optional<kvtapp::IntervalAdvice> advice;
        if (it != list->end() && calibrations.size() >= kvtapp::kAdviceMinimum)
            advice =
                kvtapp::adviseInterval(tag, kvtapp::asFoundPoints(calibrations), it->intervalDays);
        return instrumentBody(tag, it != list->end() ? &*it : nullptr, r.archive().identities(tag),
                              calibrations, anyone, advice ? &*advice : nullptr);
    });
    if (!found) {
        r.page("Not found", "instruments",
               problemBody("The archive holds no instrument \"" + tag + "\"."), 404);
        return;
    }
    r.page(tag, "instruments", body);
}

void Site::drift(Request& r) {
    const std::string tag = r.field("tag");
    std::vector<Calibration> calibrations = r.archive().history(tag);
    if (calibrations.empty()) {
        r.page("Not found", "instruments",
               problemBody("The archive holds no instrument \"" + tag + "\"."), 404);
        return;
    }
    kvtapp::judgeByLab(*r.workspace, r.archive(), calibrations);
    r.res.set_content(kvtapp::driftPage(tag, calibrations, kvtapp::localTime()),
                      "text/html; charset=utf-8");
}

namespace {

// What the certificate of a calibration would state if it were issued today: the draft that
// the calibration's page shows; nothing while the calibration has no day.
std::optional<kvtapp::CertificateContent> draftOf(const kvtapp::Workspace& workspace,
                                                  kvtarchive::Archive& archive,
                                                  const Calibration& calibration,
                                                  const std::string& technician) {
    if (!kvtapp::calibrationDay(calibration)) return std::nullopt;
    const kvtlab::Lab& lab = workspace.lab();
    kvtapp::CertificateRequest request;
    request.number = "DRAFT";
    request.issued = kvtapp::dateOfDay(kvtapp::today());
    request.paper = lab.paper.empty() ? "A4" : lab.paper;
    request.technician = technician;
    return kvtapp::gatherCertificate(calibration, lab, archive.identity(calibration.instrument),
                                     kvtapp::knownStandards(lab, archive), request);
}

}  // namespace

void Site::calibration(Request& r) {
    const int64_t id = kvtapp::calibrationNumber(r.http.matches[1], "calibration");
    bool found = true;
    const Html body = r.cached([&](const Visitor& anyone) {
        std::optional<Calibration> c = r.archive().calibration(id);
        found = c.has_value();
        if (!found) return Html();
        kvtapp::judgeByLab(*r.workspace, r.archive(), *c);
        const std::optional<kvtapp::CertificateContent> draft =
            draftOf(*r.workspace, r.archive(), *c, r.workspace->technician());
        return calibrationBody(*c, draft ? &*draft : nullptr, r.archive().certificates(id), anyone);
    });
    if (!found) {
        r.page("Not found", "instruments",
               problemBody("The archive holds no calibration #" + std::to_string(id) + "."), 404);
        return;
    }
    r.page("Calibration #" + std::to_string(id), "instruments", body);
}

void Site::certificate(Request& r, bool pdf) {
    const int64_t id = kvtapp::calibrationNumber(r.http.matches[1], "calibration");
    std::optional<Calibration> c = r.archive().calibration(id);
    if (!c) {
        r.page("Not found", "instruments",
               problemBody("The archive holds no calibration #" + std::to_string(id) + "."), 404);
        return;
    }
    std::string page;
    if (c->certificate) {
        // As it was issued: the document the archive froze with it.
        page = r.archive().certificate(c->certificate).value().document;
    } else if (r.http.has_param("draft")) {
        kvtapp::judgeByLab(*r.workspace, r.archive(), *c);
        const std::optional<kvtapp::CertificateContent> draft =
            draftOf(*r.workspace, r.archive(), *c, r.visitor.user);
        if (!draft) throw kvtapp::inputError("the calibration's date is not confirmed yet");
        page = kvtapp::certificateHtml(*draft);
    } else {
        r.page(
            "Not issued", "instruments",
            problemBody("No certificate of calibration #" + std::to_string(id) + " is issued yet."),
            404);
        return;
    }
    if (pdf) {
        r.res.set_content(kvtapp::printPdf(page), "application/pdf");
        r.res.set_header("Content-Disposition",
                         "inline; filename=\"certificate-" + std::to_string(id) + ".pdf\"");
    } else {
        r.res.set_content(page, "text/html; charset=utf-8");
    }
}

void Site::issue(Request& r) {
    const int64_t id = kvtapp::calibrationNumber(r.http.matches[1], "calibration");
    kvtapp::IssueRequest request;
    request.conditions.temperature = optionalNumber(r.field("ambient"), "the ambient temperature");
    request.conditions.humidity = optionalNumber(r.field("humidity"), "the humidity");
    request.conditions.remarks = r.field("remarks");
    request.replaces = r.field("replaces");
    request.reason = r.field("reason");
    // The document is kept by the archive; the file the issue writes is only its way there.
    const kvtapp::DocumentWriter write = [&](const std::string& number, const std::string& bytes) {
        const std::string path = scratch_ + "/" + randomToken() + "-" + number + ".html";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    };
    kvtapp::PdfPrinter printer;
    std::string issued;
    try {
        kvtapp::issueCertificates(*r.workspace, r.archive(), {id}, request, write, printer,
                                  [&](const kvtapp::Issued& done) {
                                      std::error_code unseen;
                                      std::filesystem::remove(done.file, unseen);
                                      issued = done.number;
                                  });
    } catch (const Error&) {
        // Another bench issued it at the same moment: the calibration has its one certificate.
        const std::optional<Calibration> now = r.archive().calibration(id);
        if (!request.replaces.empty() || !now || !now->certificate) throw;
        issued = kvtapp::certificateNumber(r.workspace->lab(), now->certificate);
    }
    r.changed(calibrationHref(id), "issued " + issued);
}

// A person's word on the day of a calibration whose stamps are not believed: a day of the
// calendar, not after today, and why it is that day.
void Site::confirmDate(Request& r) {
    const int64_t id = kvtapp::calibrationNumber(r.http.matches[1], "calibration");
    const std::string date = r.field("date");
    const std::string reason = r.field("reason");
    const std::optional<int64_t> day = kvtapp::dayOfStamp(date);
    if (!day || date.size() != 10)
        throw kvtapp::inputError("\"" + date + "\" is not a day: give it as YYYY-MM-DD");
    if (*day > kvtapp::today())
        throw kvtapp::inputError(date +
                                 " is after today: a calibration cannot have been done then");
    if (reason.find_first_not_of(" \t\r\n") == std::string::npos)
        throw kvtapp::inputError("say why the calibration was done on " + date);
    const kvtapp::DateConfirmation confirmation{date, r.visitor.user, kvtapp::utcTime()};
    bool known = false;
    try {
        r.archive().addFacts({{"reason", reason}});
        known = r.archive().confirmDate(id, confirmation);
    } catch (const kvtarchive::ArchiveError& e) {
        throw kvtapp::archiveError(e);
    }
    if (!known) throw kvtapp::inputError("the archive holds no calibration #" + std::to_string(id));
    say("calibration #" + std::to_string(id) + ": done on " + date + ", confirmed by " +
        confirmation.by + ": " + reason);
    r.changed(calibrationHref(id), "confirmed " + date);
}

void Site::interval(Request& r) {
    const std::string tag = r.field("tag");
    const std::optional<int> days = kvtlab::parseInterval(r.field("interval"));
    if (!days) {
        throw kvtapp::inputError("\"" + r.field("interval") +
                                 "\" is not an interval: give days (180d), weeks (26w) or "
                                 "years (1y)");
    }
    if (!r.archive().setInterval(tag, *days))
        throw kvtapp::inputError("the archive holds no instrument \"" + tag + "\"");
    r.changed(instrumentHref(tag));
}

// The DCC of an issued certificate, made from the content the archive froze with it: the same
// bytes as the command line writes for it.
void Site::dcc(Request& r) {
    const int64_t id = kvtapp::calibrationNumber(r.http.matches[1], "calibration");
    const std::optional<Calibration> c = r.archive().calibration(id);
    if (!c || !c->certificate) {
        r.page("Not issued", "instruments",
               problemBody(c ? "No certificate of calibration #" + std::to_string(id) +
                                   " is issued yet: a DCC is made of an issued certificate."
                             : "The archive holds no calibration #" + std::to_string(id) + "."),
               404);
        return;
    }
    const kvtapp::IssuedCertificate issued = r.archive().certificate(c->certificate).value();
    const std::string number = kvtapp::certificateNumber(r.workspace->lab(), c->certificate);
    std::string xml;
    try {
        xml = kvtapp::dccXml(kvtapp::certificateContentFromJson(
                                 nlohmann::json::parse(issued.content, nullptr, false)),
                             {KVTLNK_VERSION, "ZZ"});
    } catch (const Error& e) {
        r.page("No DCC", "instruments",
               problemBody("Certificate " + number + " has no DCC: " + e.what()), 422);
        return;
    }
    r.res.set_content(xml, "application/xml");
    r.res.set_header("Content-Disposition", "attachment; filename=\"" + number + ".xml\"");
}

void Site::standards(Request& r) {
    r.page("Standards", "standards",
           standardsBody(r.workspace->lab(), kvtapp::dateOfDay(kvtapp::today())));
}

void Site::affected(Request& r) {
    const std::string serial = r.http.matches[1];
    const std::string since = dayField(r.field("since"), "since");
    const std::string until = dayField(r.field("until"), "until");
    r.page("Standard " + serial, "standards", r.cached([&](const Visitor&) {
        return affectedBody(
            serial, since, until,
            kvtapp::standardsAffected(*r.workspace, r.archive(), serial, since, until));
    }));
}

// The audit trail, and with verify the archive checked against it: never kept, since what it
// finds is what changed behind the tool's back.
void Site::audit(Request& r, bool verify) {
    const std::string since = dayField(r.field("since"), "since");
    std::optional<kvtarchive::AuditVerdict> verdict;
    std::vector<kvtarchive::AuditEntry> log;
    int64_t count = 0;
    try {
        if (verify) verdict = r.archive().verify();
        log = r.archive().auditLog(since, kShownAuditRows);
        count = r.archive().auditCount(since);
    } catch (const kvtarchive::ArchiveError& e) {
        throw kvtapp::archiveError(e);
    }
    r.page("Audit trail", "audit",
           auditBody(log, count, since, verdict ? &*verdict : nullptr, r.visitor));
}

void Site::calibrators(Request& r) {
    std::vector<json> stations;
    for (const std::string& port : bench_.ports())
        stations.push_back(bench_.state(port));
    r.page("Calibrators", "calibrators",
           calibratorsBody(kvtapp::serialPorts(), stations, r.visitor));
}

void Site::addPort(Request& r) {
    const std::string port = r.field("port");
    // Only a serial device is opened as a calibrator's port: a terminal device, or a link to
    // one (as the emulator makes).
    std::error_code unseen;
    const std::string device = kvtapp::portDevice(port);
    const auto status = std::filesystem::status(device, unseen);
    if (port.empty() || port.size() > 255 || port[0] != '/' ||
        status.type() != std::filesystem::file_type::character) {
        throw kvtapp::inputError("\"" + port + "\" is not a serial device of this machine");
    }
    bench_.add(port);
    r.changed("/calibrators");
}

void Site::operation(Request& r) {
    const std::string port = r.field("port");
    const std::string op = r.field("op");
    json request = {{"op", op}, {"technician", r.visitor.user}};
    request["discard"] = !r.field("discard").empty();
    request["confirmed"] = !r.field("confirmed").empty();
    std::string scratch;
    if (op == "download") {
        if (!r.http.has_file("file") || r.http.get_file_value("file").filename.empty())
            throw kvtapp::inputError("choose a procedure description to download");
        const httplib::MultipartFormData file = r.http.get_file_value("file");
        scratch = scratch_ + "/" + randomToken() + ".json";
        std::ofstream(scratch, std::ios::binary) << file.content;
        request["file"] = scratch;
        request["name"] = file.filename;
    } else if (op != "identify" && op != "upload" && op != "clear") {
        throw kvtapp::inputError("\"" + op + "\" is not an operation of a calibrator");
    }
    const std::string refusal = bench_.request(port, request, scratch);
    if (!refusal.empty()) {
        if (!scratch.empty()) std::filesystem::remove(scratch);
        throw kvtapp::inputError(refusal);
    }
    r.changed("/calibrators");
}

void Site::login(Request& r) {
    const std::string next = localPath(r.field("next"));
    if (!access_.loginRequired()) {
        r.redirect(next);
        return;
    }
    std::string refusal;
    if (r.http.method == "POST") {
        const std::optional<Visitor> v =
            access_.signIn(r.workspace->lab(), r.field("name"), r.field("password"), refusal);
        if (v) {
            r.res.set_header("Set-Cookie", Access::cookie(*v));
            r.redirect(next);
            return;
        }
    }
    r.page("Sign in", "", loginBody(r.visitor, refusal, next), refusal.empty() ? 200 : 401);
}

void Site::events(const httplib::Request& req, httplib::Response& res) {
    handle(req, res, Action::Read, [this](Site::Request& r) {
        auto seen = std::make_shared<uint64_t>(0);
        r.res.set_header("X-Accel-Buffering", "no");
        r.res.set_chunked_content_provider(
            "text/event-stream", [this, seen](size_t, httplib::DataSink& sink) {
                const EventHub::Changes changes = hub_.wait(*seen, std::chrono::seconds(20));
                if (hub_.closed()) {
                    sink.done();
                    return false;
                }
                std::string text = changes.empty() ? ": still here\n\n" : "";
                for (const auto& [topic, data] : changes)
                    text += "event: station\ndata: " + data + "\n\n";
                return sink.write(text.data(), text.size());
            });
    });
}

}  // namespace kvtweb
