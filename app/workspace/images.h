// Image files and procedure descriptions as the library decodes them, and the records of an
// archived calibration given back as an image.
#pragma once

#include <optional>
#include <string>

#include "archive/archive.h"
#include "common/image_file.h"
#include "image/image.h"
#include "procedure/setup_description.h"
#include "workspace/workspace.h"

namespace kvtapp {

// The lab file of the workspace, for a description that names its pressure modules.
LabSource labSource(const Workspace& workspace);

// The image a file stands for, decoded by the library: an image file's records loaded into the
// library's image; a procedure description, built with the MEM and STA calls.
ImageDocument imageOfFile(const Workspace& workspace, const std::string& file);
// The image of both memories from the calibrator the JSON names, uploaded as upload says
// (ImageDocument::upload).
ImageDocument imageOfMemories(const kvttools::MemoryFile& memories,
                              const nlohmann::ordered_json& calibrator,
                              const nlohmann::ordered_json& upload = nullptr);

// The records of a calibration's results from one upload as an image, each at its place, which
// decode as they did; nothing when the archive holds no such calibration. upload names the
// upload (0: the calibration's only one; an input Error lists them when it has several).
// records gets how many records the image holds.
std::optional<ImageDocument> calibrationImage(kvtarchive::Archive& archive, int64_t calibration,
                                              int64_t upload, size_t* records);

}  // namespace kvtapp
