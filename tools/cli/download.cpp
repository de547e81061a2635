// kvtlnk download and clear, and what guards the results a calibrator holds from both: a
// backup that never replaces a file, the records archive, or the user's word.
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>

#include "store.h"
#include "build.h"
#include "commands.h"
#include "error.h"
#include "image.h"
#include "interrupt.h"
#include "json_file.h"
#include "kvtlnk/kvtlnk.h"
#include "table.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

// Where the backup of both memories goes: a file that does not exist yet, or a new file in a
// directory, named by the calibrator's serial number and the time.
class Backup {
  public:
    explicit Backup(const std::string& given) : given_(given) {
        if (given.empty()) return;
        struct stat st {};
        if (::stat(given.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            if (::access(given.c_str(), W_OK | X_OK) != 0) {
                throw inputError("cannot write a backup into " + given + ": permission denied");
            }
            directory_ = true;
            return;
        }
        if (::lstat(given.c_str(), &st) == 0) {
            throw inputError(given +
                             " exists, and a backup never replaces a file: name a new file, or a "
                             "directory to make one in (nothing was sent)");
        }
        file_.emplace(given, false);
    }

    bool wanted() const { return !given_.empty(); }

    // The file to write, made now in a directory.
    OutputFile& file(const Identity& id) {
        if (!file_) file_.emplace(freeName(id), false);
        return *file_;
    }

  private:
    // "<dir>/SN270001-20240502-141000.json", with "-2", "-3", ... after the time when a backup
    // of the same second is there.
    std::string freeName(const Identity& id) const {
        std::string serial;
        for (char c : id.serialNumber)
            serial += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
        const std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        const std::string base =
            (std::filesystem::path(given_) / ((serial.empty() ? "K27" : serial) + "-" + stamp))
                .string();
        std::string name = base + ".json";
        struct stat st {};
        for (int n = 2; ::lstat(name.c_str(), &st) == 0; ++n)
            name = base + "-" + std::to_string(n) + ".json";
        return name;
    }

    std::string given_;
    bool directory_ = false;
    std::optional<OutputFile> file_;
};

bool sameRecords(const std::vector<kvttools::MemoryRecord>& a, const std::vector<ImageRecord>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].version != b[i].version || a[i].data != b[i].data ||
            kvttools::formatStamp(a[i].stamp) != kvttools::formatStamp(b[i].stamp)) {
            return false;
        }
    }
    return true;
}

// Uploads both memories into the backup file and reads it back as show reads an image file,
// before anything on the calibrator changes.
void saveBackup(const Context& context, Session& session, OutputFile& file) {
    Progress progress("backup", !context.quiet);
    session.upload(progress, file.path() + " was not written");
    ImageDocument image = captureImage();
    image.calibrator = calibratorJson(session);
    file.commit(dumpJson(toJson(image)));
    std::string problem = "its records differ from those uploaded";
    bool same = false;
    try {
        const ImageFile back = readImageFile(file.path(), readJsonFile(file.path()));
        same = sameRecords(back.memories.procedure, image.procedure) &&
               sameRecords(back.memories.results, image.results);
    } catch (const CliError& e) {
        problem = e.what();
    }
    if (!same) {
        throw CliError(kExitCalibrator, "the backup " + file.path() +
                                            " does not read back as written: " + problem +
                                            " (nothing was changed on the calibrator)");
    }
}

// Before a command that empties the results memory, or takes away the procedure its results
// refer to: saves both memories when asked to, and otherwise refuses while results are there
// that the archive does not hold. Returns whether it uploaded, which replaces the library's
// image.
bool guardResults(const Context& context, Session& session, const ResultsPolicy& policy,
                  Backup& backup, const std::string& loss) {
    if (backup.wanted()) {
        saveBackup(context, session, backup.file(session.identity()));
        return true;
    }
    const uint32_t results = session.identity().resultItems;
    if (results == 0 || policy.discard) return false;
    if (archiveHoldsAll(context, session)) return true;
    throw inputError(fmt::format(
        "the calibrator on {} holds {}, which {}: add --backup FILE to save both memories there "
        "first, store them with upload --store, or add --discard-results (nothing was sent)",
        session.portName(), plural(results, "result item"), loss));
}

// A word as the shell takes it back.
std::string shellWord(const std::string& word) {
    const bool plain = !word.empty() && word.find_first_not_of(
                                            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            "0123456789_-./:=@%+,") == std::string::npos;
    if (plain) return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// How to send the same procedure again once a download stopped half-way: while the calibrator
// still holds results, a plain download is refused, unless they are saved (in the backup just
// written, or in the archive) or the user gave them up before.
std::string downloadAgain(const PortOptions& port, const std::string& file, bool discard,
                          bool confirmed, const std::string& savedIn) {
    std::string command = "kvtlnk --port " + shellWord(port.port) + " download";
    if (discard) command += " --discard-results";
    if (confirmed) command += " --yes";
    command += " " + shellWord(file);
    return "download again: " + command +
           (savedIn.empty() ? "" : " (the results are saved in " + savedIn + ")");
}

// The calibrator's memory must hold the whole image: a download that runs out of room stops
// half-way and leaves a partial procedure behind.
void checkCapacity(const std::string& file, const Identity& id) {
    uint32_t used = 0;
    MEMused(&used);
    if (id.memoryCapacity == 0 || used <= id.memoryCapacity) return;
    throw inputError(fmt::format(
        "{}: the procedure takes {} bytes of the calibrator's procedure memory, which holds {} "
        "bytes: leave tasks out, or send them in several downloads (nothing was sent)",
        file, grouped(used), grouped(id.memoryCapacity)));
}

}  // namespace

void downloadCommand(const Context& context, const std::string& file, const ResultsPolicy& policy,
                     bool confirmed) {
    Procedure procedure;
    try {
        procedure = loadProcedure(file, labSource(context));
    } catch (CliError& e) {
        e.addLine(file + ": nothing was sent");
        throw;
    }
    if (procedure.strategies.empty() && procedure.prompts.empty() && procedure.tasks.empty() &&
        !confirmed) {
        throw inputError(file +
                         ": holds no strategies, prompt definitions or tasks, so the procedure "
                         "memory would keep only the 9 standard strategies: add --yes to send "
                         "it all the same (nothing was sent)");
    }
    const PortOptions port = calibratorPort(context);
    Backup backup(policy.backup);
    Progress progress("download", !context.quiet);
    announce(progress, port);
    Session session(port);
    const Identity& id = session.identity();
    std::vector<uint32_t> sizes = buildImage(procedure);
    checkCapacity(file, id);
    if (guardResults(context, session, policy, backup, "the download erases")) {
        sizes = buildImage(procedure);
    }
    const std::string savedIn = backup.wanted() ? backup.file(id).path() : "";
    const bool discard = id.resultItems > 0 && (policy.discard || backup.wanted());
    uint32_t used = 0;
    MEMused(&used);
    const uint32_t items =
        session.download(progress, sizes, downloadAgain(port, file, discard, confirmed, savedIn));
    if (context.json) {
        std::cout << dumpJson({{"file", file},
                               {"port", session.portName()},
                               {"calibrator", identityJson(id)},
                               {"items", items},
                               {"imageBytes", used},
                               {"strategies", procedure.strategies.size()},
                               {"promptDefinitions", procedure.prompts.size()},
                               {"setups", procedure.setups.size()},
                               {"tasks", procedure.tasks.size()},
                               {"backup", savedIn}});
        return;
    }
    std::cout << fmt::format(
        "Sent {} from {} to the {} on {}: the 9 standard strategies, {}, {}, {}, {}\n",
        plural(items, "item"), visibleText(file), visibleText(id.model), session.portName(),
        plural(procedure.strategies.size(), "strategy", "strategies"),
        plural(procedure.prompts.size(), "prompt definition"),
        plural(procedure.setups.size(), "setup"), plural(procedure.tasks.size(), "task"));
    if (!savedIn.empty()) std::cout << "Saved both memories to " << savedIn << " first\n";
}

void clearCommand(const Context& context, const ResultsPolicy& policy) {
    const PortOptions port = calibratorPort(context);
    Backup backup(policy.backup);
    Session session(port);
    guardResults(context, session, policy, backup,
                 "refer to the strategies and tasks that clear takes away");
    checkInterrupt();
    setStopState("the procedure memory may or may not be empty");
    const uint32_t rc = KVTclear();
    if (rc != KVTLNK_OK) {
        throw libraryError(rc, "clearing", "the procedure memory may or may not be empty");
    }
    setStopState("the procedure memory is empty");
    const std::string savedIn = backup.wanted() ? backup.file(session.identity()).path() : "";
    if (context.json) {
        std::cout << dumpJson(
            {{"port", session.portName()}, {"cleared", true}, {"backup", savedIn}});
        return;
    }
    std::cout << "Cleared the procedure memory of the calibrator on " << session.portName() << '\n';
    if (!savedIn.empty()) std::cout << "Saved both memories to " << savedIn << " first\n";
}

}  // namespace kvtcli
