// The tool's side of the records archive: where it is, what a calibration result of an image
// is stored as (with the records it rests on), and adding an image's results.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive.h"
#include "commands.h"
#include "image.h"
#include "json_file.h"

namespace kvtcli {

// Where the archive is: --archive, KVTLNK_ARCHIVE, or the default file.
std::string archiveLocation(const Context& context);
// The archive at that place, brought up to date; a problem is an input error.
std::unique_ptr<kvtarchive::Archive> openArchive(const Context& context);
// Whether an archive stands there already (a PostgreSQL archive always may).
bool archiveExists(const Context& context);

// The records a result rests on, each at its place: the result, its tag record, the setup it
// names and the log before it, its strategy, and the test (template) that made it, with that
// test's setup and task.
std::vector<kvtarchive::StoredRecord> restingRecords(const ImageDocument& image,
                                                     const ResultView& result);

// Every calibration result of the image as the archive stores it; source: the port or file.
kvtarchive::Upload archiveUpload(const ImageDocument& image, const Context& context,
                                 const std::string& source);

// Adds the image's results to the archive, with progress on standard error; returns the
// outcome and prints nothing.
kvtarchive::AddOutcome storeImage(const Context& context, const ImageDocument& image,
                                  const std::string& source);
// One line on what an add did: "Stored 3 results of field.json in ...: 2 events".
std::string storedLine(const kvtarchive::AddOutcome& outcome, const std::string& source,
                       const std::string& location);

// upload --store: writes the image file when there is one, adds the results to the archive and
// says what it did.
void storeUpload(const Context& context, const ImageDocument& image, const std::string& source,
                 std::optional<OutputFile>& file);
// Whether the archive holds every calibration result the calibrator holds (uploaded to see),
// so that a download or clear may go on without a backup.
bool archiveHoldsAll(const Context& context, Session& session);

// Text wrapped for the terminal in an archive's error.
CliError archiveError(const kvtarchive::ArchiveError& e);

}  // namespace kvtcli
