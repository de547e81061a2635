// Image files and procedure descriptions as the library decodes them, and the records of an
// archived event given back as an image.
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

// An event's records as an image, each at its place, which decode as they did; nothing when
// the archive holds no such event. records gets how many records the event rests on.
std::optional<ImageDocument> eventImage(kvtarchive::Archive& archive, int64_t event,
                                        size_t* records);

}  // namespace kvtapp
