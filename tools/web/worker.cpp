#include "worker.h"

#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <set>

#include "base/files.h"
#include "base/time.h"
#include "base/words.h"
#include "calibrator/ports.h"
#include "image/image.h"
#include "procedure/build.h"
#include "workspace/images.h"
#include "workspace/store.h"

namespace kvtweb {
namespace {

using json = nlohmann::ordered_json;
using namespace kvtapp;

// The events of one operation, each written and flushed at once.
class Events {
  public:
    explicit Events(std::ostream& out) : out_(out) {}
    void send(const json& event) {
        out_ << event.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
    }
    void phase(const std::string& text) { send({{"event", "phase"}, {"text", text}}); }

  private:
    std::ostream& out_;
};

// A transfer's items as events: the item and byte counts, and the time left at the rate
// measured so far.
class EventProgress : public TransferProgress {
  public:
    EventProgress(Events& events, std::string what) : events_(events), what_(std::move(what)) {}

    void begin(std::vector<uint32_t> itemBytes) override {
        bytes_ = std::move(itemBytes);
        total_ = 0;
        for (uint32_t b : bytes_)
            total_ += b;
        done_ = 0;
        started_ = std::chrono::steady_clock::now();
        send(0);
    }
    void advance(uint32_t itemsDone) override {
        for (; done_ < itemsDone && done_ < bytes_.size(); ++done_)
            doneBytes_ += bytes_[done_];
        send(itemsDone);
    }
    void end() override {}

  private:
    void send(uint32_t item) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        json left = nullptr;
        if (doneBytes_ > 0 && seconds > 0) {
            left = std::round(seconds * double(total_ - doneBytes_) / double(doneBytes_));
        }
        events_.send({{"event", "progress"},
                      {"what", what_},
                      {"item", item},
                      {"items", bytes_.size()},
                      {"bytes", doneBytes_},
                      {"totalBytes", total_},
                      {"secondsLeft", left},
                      {"stamp", monotonicMs()}});
    }

    Events& events_;
    std::string what_;
    std::vector<uint32_t> bytes_;
    uint64_t total_ = 0, doneBytes_ = 0;
    size_t done_ = 0;
    std::chrono::steady_clock::time_point started_;
};

class Worker {
  public:
    Worker(const WorkerOptions& options, Events& events)
        : options_(options),
          workspace_(options.settings),
          events_(events),
          watch_(options.watch ? *options.watch : plainWatch_) {}

    // Runs one operation; its outcome is the last event it sends.
    void run(const json& op) {
        const std::string name = textAt(op, "op");
        try {
            if (name == "identify") {
                identify();
            } else if (name == "upload") {
                upload(textAt(op, "technician"));
            } else if (name == "download") {
                download(textAt(op, "file"), textAt(op, "name"), flagAt(op, "discard"),
                         flagAt(op, "confirmed"));
            } else if (name == "clear") {
                clear(flagAt(op, "discard"));
            } else {
                throw inputError("\"" + name + "\" is not an operation of the worker");
            }
        } catch (const Error& e) {
            failed(name, e.what(), e.problems());
        } catch (const kvtarchive::ArchiveError& e) {
            failed(name, e.what(), {});
        } catch (const std::exception& e) {
            failed(name, e.what(), {});
        }
    }

  private:
    Session& open() {
        events_.phase("identifying the calibrator on " + options_.port);
        session_.reset();
        session_ = std::make_unique<Session>(options_.port, options_.link, watch_);
        const Calibrator& id = session_->identity();
        events_.send({{"event", "calibrator"}, {"calibrator", toJson(id)}});
        return *session_;
    }

    void done(const std::string& op, const std::string& message, json instruments = json::array()) {
        session_.reset();
        events_.send({{"event", "done"},
                      {"op", op},
                      {"message", message},
                      {"instruments", std::move(instruments)}});
    }

    void failed(const std::string& op, const std::string& message,
                const std::vector<Problem>& problems) {
        session_.reset();
        std::error_code unseen;
        const bool gone = !std::filesystem::exists(portDevice(options_.port), unseen);
        json list = json::array();
        for (const Problem& p : problems)
            list.push_back({{"field", p.field}, {"message", p.message}});
        events_.send({{"event", "failed"},
                      {"op", op},
                      {"message", message},
                      {"problems", list},
                      {"gone", gone}});
    }

    void identify() {
        const Calibrator& id = open().identity();
        done("identify",
             fmt::format("{} {}, firmware {}: {} and {} in its memories", id.model, id.serialNumber,
                         id.firmware, plural(id.procedureItems, "procedure item"),
                         plural(id.resultItems, "result item")));
    }

    ImageDocument uploadBoth(Session& session, const std::string& what) {
        EventProgress progress(events_, what);
        session.upload(progress);
        ImageDocument image = captureImage();
        image.calibrator = calibratorJson(session.identity(), session.portName(), localTime());
        return image;
    }

    void upload(const std::string& technician) {
        Session& session = open();
        const ImageDocument image = uploadBoth(session, "upload");
        if (!technician.empty()) workspace_.settings.technician = technician;
        events_.phase("storing the results in the archive");
        EventProgress progress(events_, "archive");
        const kvtarchive::AddOutcome o =
            storeImage(workspace_, image, session.portName(), progress);
        std::set<std::string> tags;
        for (const Result& r : image.calibrations)
            tags.insert(instrumentName(r));
        const std::string message =
            o.added == 0
                ? fmt::format("the archive holds every result of the calibrator already ({})",
                              plural(o.held, "result"))
                : fmt::format("stored {}: {}{}{}", plural(o.added, "result"),
                              plural(o.calibrations, "calibration"),
                              o.held ? fmt::format(", {} held already", o.held) : "",
                              o.suspect ? fmt::format(", {} with the calibrator clock suspect",
                                                      plural(o.suspect, "result"))
                                        : "");
        done("upload", image.calibrations.empty() ? "the calibrator holds no results" : message,
             json(tags));
    }

    // Before a download or clear: the results the calibrator holds are in the archive, or the
    // technician gave them up. True when both memories were uploaded to find out.
    bool guard(Session& session, bool discard, const std::string& loss) {
        const uint32_t results = session.identity().resultItems;
        if (results == 0 || discard) return false;
        events_.phase("checking that the archive holds the calibrator's results");
        ImageDocument image = uploadBoth(session, "upload");
        if (archiveHoldsAll(workspace_, image, session.portName())) return true;
        throw inputError(fmt::format(
            "the calibrator holds {}, which {}, and the archive does not hold them all: upload "
            "them into the archive first, or tick \"discard its results\" (nothing was sent)",
            plural(results, "result item"), loss));
    }

    void download(const std::string& file, const std::string& shown, bool discard, bool confirmed) {
        const std::string name = shown.empty() ? "the description" : shown;
        events_.phase("checking " + name);
        Procedure procedure;
        try {
            const json root = json::parse(readFile(file));
            procedure = checkedProcedure(name, root, labSource(workspace_));
        } catch (const json::parse_error& e) {
            throw Error::fileProblems(name, {{"(file)", std::string("not JSON: ") + e.what()}});
        }
        if (procedure.strategies.empty() && procedure.prompts.empty() && procedure.tasks.empty() &&
            !confirmed) {
            throw inputError(name +
                             ": holds no strategies, prompt definitions or tasks, so the "
                             "procedure memory would keep only the 9 standard strategies "
                             "(nothing was sent)");
        }
        Session& session = open();
        std::vector<uint32_t> sizes = buildImage(procedure);
        checkCapacity(name, session.identity().memoryCapacity);
        if (guard(session, discard, "the download erases")) sizes = buildImage(procedure);
        EventProgress progress(events_, "download");
        const uint32_t items = session.download(progress, sizes, "download it again");
        done("download", fmt::format("sent {} from {}: {}, {}, {}", plural(items, "item"), name,
                                     plural(procedure.strategies.size(), "strategy", "strategies"),
                                     plural(procedure.setups.size(), "setup"),
                                     plural(procedure.tasks.size(), "task")));
    }

    void clear(bool discard) {
        Session& session = open();
        guard(session, discard, "refer to the strategies and tasks that clear takes away");
        session.clearProcedure();
        done("clear", "cleared the procedure memory");
    }

    const WorkerOptions& options_;
    Workspace workspace_;
    Events& events_;
    SessionWatch plainWatch_;
    SessionWatch& watch_;
    std::unique_ptr<Session> session_;
};

}  // namespace

int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int runWorker(const WorkerOptions& options, std::istream& in, std::ostream& out) {
    Events events(out);
    Worker worker(options, events);
    for (std::string line; std::getline(in, line);) {
        if (line.size() > 65536) continue;
        const json op = json::parse(line, nullptr, false);
        if (op.is_object()) worker.run(op);
    }
    return 0;
}

}  // namespace kvtweb
