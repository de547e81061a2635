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

// Every calibration result of the image as one upload: the calibrator it names, this machine,
// this user, the workspace's technician, and the source (the port or the file).
Upload uploadOf(const ImageDocument& image, const Workspace& workspace, const std::string& source);

// Adds the image's results to the archive in one transaction, the progress counting results;
// a failure adds nothing and says so.
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
// Error naming the text when it is not one.
int64_t calibrationNumber(const std::string& text, const std::string& what);

}  // namespace kvtapp
