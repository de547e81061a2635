#include "workspace/guard.h"

#include <fmt/format.h>

#include <cctype>
#include <filesystem>

#include "base/error.h"
#include "base/platform.h"
#include "base/time.h"
#include "base/words.h"
#include "image/image.h"
#include "workspace/store.h"

namespace kvtapp {
namespace {

namespace fs = std::filesystem;

bool standsThere(const std::string& path) {
    std::error_code unseen;
    return fs::exists(fs::symlink_status(path, unseen));
}

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
void saveBackup(const Workspace& workspace, Session& session, OutputFile& file,
                TransferProgress& progress) {
    session.upload(progress, file.path() + " was not written");
    ImageDocument image = captureImage();
    image.calibrator = calibratorJson(session.identity(), session.portName(), localTime());
    image.upload = uploadJson(workspace);
    file.commit(dumpJson(toJson(image)));
    std::string problem = "its records differ from those uploaded";
    bool same = false;
    try {
        const ImageFile back = readImageFile(file.path(), readJsonFile(file.path()));
        same = sameRecords(back.memories.procedure, image.procedure) &&
               sameRecords(back.memories.results, image.results);
    } catch (const Error& e) {
        problem = e.what();
    }
    if (!same) {
        throw calibratorError("the backup " + file.path() + " does not read back as written: " +
                              problem + " (nothing was changed on the calibrator)");
    }
}

}  // namespace

Backup::Backup(const std::string& given, const OutputGuard& guard) : given_(given), guard_(guard) {
    if (given.empty()) return;
    std::error_code unseen;
    if (fs::is_directory(given, unseen)) {
        if (!platform::writableFolder(given)) {
            throw inputError("cannot write a backup into " + given + ": permission denied");
        }
        return;
    }
    if (standsThere(given)) {
        throw inputError(given +
                         " exists, and a backup never replaces a file: name a new file, or a "
                         "directory to make one in (nothing was sent)");
    }
    file_.emplace(given, guard_, false);
}

// "<dir>/SN270001-20240502-141000.json", with "-2", "-3", ... after the time when a backup of
// the same second is there.
OutputFile& Backup::file(const Calibrator& calibrator) {
    if (file_) return *file_;
    std::string serial;
    for (char c : calibrator.serialNumber)
        serial += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    const std::string base =
        (fs::path(given_) / ((serial.empty() ? "K27" : serial) + "-" + localFileTime())).string();
    std::string name = base + ".json";
    for (int n = 2; standsThere(name); ++n)
        name = base + "-" + std::to_string(n) + ".json";
    return file_.emplace(name, guard_, false);
}

Guarded guardResults(const Workspace& workspace, Session& session, const ResultsPolicy& policy,
                     Backup& backup, const std::string& loss, const ProgressFor& progressFor) {
    Guarded guarded;
    if (backup.wanted()) {
        saveBackup(workspace, session, backup.file(session.identity()), *progressFor("backup"));
        guarded.uploaded = true;
        return guarded;
    }
    const uint32_t results = session.identity().resultItems;
    if (results == 0 || policy.discard) return guarded;
    if (workspace.archiveExists()) {
        session.upload(*progressFor("upload"));
        guarded.uploaded = true;
        ImageDocument image = captureImage();
        image.calibrator = calibratorJson(session.identity(), session.portName(), localTime());
        if (archiveHoldsAll(workspace, image, session.portName())) {
            guarded.archived = image.calibrations.size();
            return guarded;
        }
    }
    throw inputError(fmt::format(
        "the calibrator on {} holds results ({} in its results memory), which {}: add --backup "
        "FILE to save both memories there first, store them with upload --store, or add "
        "--discard-results (nothing was sent)",
        session.portName(), plural(results, "record"), loss));
}

}  // namespace kvtapp
