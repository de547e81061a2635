// Where a front end's work runs: the lab file (read once, when first needed), the records
// archive it names or is named, who calibrates, and the calibration interval of instruments
// that have none of their own. It guards the files it works with from the outputs of the work:
// every OutputFile of a front end is made with its workspace.
#pragma once

#include <memory>
#include <string>

#include "archive/archive.h"
#include "base/error.h"
#include "base/files.h"
#include "lab/lab.h"

namespace kvtapp {

class Workspace : public OutputGuard {
  public:
    // What a front end sets before the first use.
    struct Settings {
        std::string lab;         // the lab file; "" for the default place
        std::string archive;     // the archive; "" for KVTLNK_ARCHIVE, the lab file's, the default
        std::string technician;  // "" for the lab file's technician
        std::string command;     // the command line, passwords removed, for the audit trail
        int intervalDays = kDefaultIntervalDays;
        OutputRules outputs;  // what an output does with a file under its name
    };

    Workspace() = default;
    explicit Workspace(Settings settings) : settings(std::move(settings)) {}

    Settings settings;

    // The lab file the settings name, else the one at the default place; an empty lab when
    // there is none there. A file that cannot be read or has a problem is an input Error naming
    // each bad key.
    const kvtlab::Lab& lab() const;
    std::string labPath() const;

    // Where the archive is and who named it; the location as it may be shown (without a
    // password); whether one stands there already (a PostgreSQL archive always may); and the
    // archive there, for the access, brought up to date. A problem is an input Error: where
    // there is no archive, it says where it looked and who named that place. Its changes are
    // audited as the technician's, made with the command.
    kvtarchive::ArchivePlace archivePlace() const;
    std::string archiveLocation() const;
    std::string archiveShown() const;
    bool archiveExists() const;
    std::unique_ptr<kvtarchive::Archive> openArchive(kvtarchive::Access access) const;
    // Who the archive's audit trail names for the work's changes: the technician and the
    // command.
    kvtarchive::Actor actor() const;

    // The archive's files (an SQLite one's, with its journal and logs), the lab file and every
    // input read: what no output may replace.
    std::vector<KeptFile> keptFiles() const override;

    // The rules every file the work writes goes by.
    OutputRules outputRules() const override { return settings.outputs; }

    // Who calibrates: the settings' technician, else the lab file's.
    std::string technician() const;
    // The bench the work runs on: the lab file's name for it, else this computer's name.
    std::string bench() const;

  private:
    mutable std::shared_ptr<const kvtlab::Lab> lab_;
};

// An archive's failure as the application's: an input Error with its text.
Error archiveError(const kvtarchive::ArchiveError& e);

}  // namespace kvtapp
