#include "workspace/images.h"

#include "base/error.h"
#include "base/files.h"
#include "procedure/build.h"

namespace kvtapp {
namespace {

using json = nlohmann::ordered_json;

// The memories of an upload's records, each at its place; the places between hold empty
// records of kind 0, which nothing reads.
kvttools::MemoryFile uploadMemories(const kvtarchive::UploadRecords& event) {
    json document = {{"procedure", json::array()}, {"results", json::array()}};
    const json placeholder = {
        {"kind", 0u}, {"version", 0u}, {"stamp", "1992-01-01 00:00:00"}, {"data", "00"}};
    for (const RestingRecord& r : event.records) {
        json& memory = document[r.memory];
        while (memory.size() <= static_cast<size_t>(r.index))
            memory.push_back(placeholder);
        memory[static_cast<size_t>(r.index)] = {{"kind", r.kind},
                                                {"version", r.version},
                                                {"stamp", r.stamp},
                                                {"data", kvttools::toHex(r.data)}};
    }
    kvttools::MemoryFile memories;
    kvttools::FileProblem problem;
    if (!kvttools::readMemoryDocument(document, &memories, &problem)) {
        throw inputError("the archived records do not make an image: " + problem.text());
    }
    return memories;
}

}  // namespace

LabSource labSource(const Workspace& workspace) {
    return [&workspace] { return &workspace.lab(); };
}

ImageDocument imageOfFile(const Workspace& workspace, const std::string& file) {
    const json value = readJsonFile(file);
    if (isImageJson(value)) {
        const ImageFile image = readImageFile(file, value);
        return imageOfMemories(image.memories, image.calibrator, image.upload);
    }
    buildImage(checkedProcedure(file, value, labSource(workspace)));
    return captureImage();
}

ImageDocument imageOfMemories(const kvttools::MemoryFile& memories, const json& calibrator,
                              const json& upload) {
    loadImage(memories);
    ImageDocument image = captureImage();
    image.calibrator = calibrator;
    image.upload = upload;
    return image;
}

std::optional<ImageDocument> calibrationImage(kvtarchive::Archive& archive, int64_t calibration,
                                              int64_t upload, size_t* records) {
    std::optional<std::vector<kvtarchive::UploadRecords>> found;
    try {
        found = archive.calibrationRecords(calibration);
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
    if (!found) return std::nullopt;
    const kvtarchive::UploadRecords* chosen =
        found->size() == 1 && !upload ? &found->front() : nullptr;
    std::string uploads;
    for (const kvtarchive::UploadRecords& u : *found) {
        if (u.upload.id == upload) chosen = &u;
        uploads += (uploads.empty() ? "" : ", ") + std::to_string(u.upload.id);
    }
    if (!chosen) {
        throw inputError("calibration " + std::to_string(calibration) +
                         " has results from the uploads " + uploads + ": name one with --upload");
    }
    *records = chosen->records.size();
    const Upload& u = chosen->upload;
    const json calibrator = {{"model", u.calibrator.model},
                             {"firmware", u.calibrator.firmware},
                             {"serialNumber", u.calibrator.serialNumber},
                             {"uploaded", u.uploaded},
                             {"port", u.source}};
    const json uploadedBy = {{"bench", u.host}, {"user", u.user}, {"technician", u.technician}};
    return imageOfMemories(uploadMemories(*chosen), calibrator, uploadedBy);
}

}  // namespace kvtapp
