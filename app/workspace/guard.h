// What guards the results a calibrator holds from a download, which empties its results
// memory, and from clear, which takes away the procedure they refer to: a backup that never
// replaces a file, the records archive, or the user's word.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/files.h"
#include "calibrator/session.h"
#include "workspace/workspace.h"

namespace kvtapp {

// What download and clear do when the calibrator still holds results: refuse, unless they are
// saved first or given up.
struct ResultsPolicy {
    std::string backup;    // upload both memories into this image file first
    bool discard = false;  // go on without saving them
};

// Where the backup of both memories goes: a file that does not exist yet, or a new file in a
// directory, named by the calibrator's serial number and the time. Checked when made, before
// anything is sent.
class Backup {
  public:
    Backup(const std::string& given, const OutputGuard& guard);
    bool wanted() const { return !given_.empty(); }
    // The file to write, made now in a directory.
    OutputFile& file(const Calibrator& calibrator);

  private:
    std::string given_;
    const OutputGuard& guard_;
    std::optional<OutputFile> file_;
};

// A front end's progress display for a transfer of the given kind ("backup", "upload").
using ProgressFor = std::function<std::unique_ptr<TransferProgress>(const std::string& what)>;

struct Guarded {
    bool uploaded = false;  // both memories were uploaded, which replaced the library's image
    size_t archived = 0;    // results the archive was found to hold, all the calibrator holds
};

// Before the command: saves both memories when the policy asks for a backup, and otherwise
// refuses (an input Error saying what to do) while results are there that the archive does not
// hold; loss says what the command would do to them.
Guarded guardResults(const Workspace& workspace, Session& session, const ResultsPolicy& policy,
                     Backup& backup, const std::string& loss, const ProgressFor& progressFor);

}  // namespace kvtapp
