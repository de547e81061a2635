// The archive's work for a front end: an image's results stored as one upload, whether it
// holds what a calibrator holds, instruments with their due dates by the lab's intervals.
#pragma once

#include <string>
#include <vector>

#include "archive/archive.h"
#include "calibrator/session.h"
#include "image/image.h"
#include "workspace/workspace.h"

namespace kvtapp {

// Who uploads now and on which bench, as an image keeps it (ImageDocument::upload): the
// workspace's bench and technician, this user.
nlohmann::ordered_json uploadJson(const Workspace& workspace);

// Every calibration result of the image as one upload: the calibrator it names, the bench, user
// and technician it names (those of uploadJson where it names none), and the source (the port
// or the file).
Upload uploadOf(const ImageDocument& image, const Workspace& workspace, const std::string& source);

// Adds the image's results to the archive in one transaction, the progress counting results;
// a failure adds nothing and says so. The archive is made when there is none (and the outcome
// says so).
kvtarchive::AddOutcome storeImage(const Workspace& workspace, const ImageDocument& image,
                                  const std::string& source, TransferProgress& progress);

// Whether the archive holds every calibration result of the image (uploaded from a
// calibrator), so that a download or clear may go on without a backup; false when there is no
// archive or no result.
bool archiveHoldsAll(const Workspace& workspace, const ImageDocument& image,
                     const std::string& source);

// How the lab file groups results into calibrations and judges their stamps.
VisitRules visitRules(const kvtlab::Lab& lab);

// What the lab file says that the archive keeps as it was said: the certificates of its
// reference standards, and what identifies its instruments.
void keepLabRecords(const kvtlab::Lab& lab, kvtarchive::Archive& archive);

// Every instrument of the archive with its due date from its own interval, else the lab
// file's for its tag, else the workspace's default, and its last verdict by the lab's decision
// rule; by tag. now: today's day number.
std::vector<Instrument> instrumentsOf(const Workspace& workspace, kvtarchive::Archive& archive,
                                      int64_t now);

// A calibration of the archive by its number, as a front end is given it ("42"); an input
// Error naming the argument when the text is not one.
int64_t calibrationNumber(const std::string& text, const std::string& argument);

}  // namespace kvtapp
