#include "workspace/images.h"

#include "base/error.h"
#include "base/files.h"
#include "procedure/build.h"

namespace kvtapp {
namespace {

using json = nlohmann::ordered_json;

// The memories of an event's records, each at its place; the places between hold empty
// records of kind 0, which nothing reads.
kvttools::MemoryFile eventMemories(const kvtarchive::EventRecords& event) {
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

std::optional<ImageDocument> eventImage(kvtarchive::Archive& archive, int64_t event,
                                        size_t* records) {
    const std::optional<kvtarchive::EventRecords> found = archive.eventRecords(event);
    if (!found) return std::nullopt;
    *records = found->records.size();
    const Upload& u = found->upload;
    const json calibrator = {{"model", u.calibrator.model},
                             {"firmware", u.calibrator.firmware},
                             {"serialNumber", u.calibrator.serialNumber},
                             {"uploaded", u.uploaded},
                             {"port", u.source}};
    const json upload = {{"bench", u.host}, {"user", u.user}, {"technician", u.technician}};
    return imageOfMemories(eventMemories(*found), calibrator, upload);
}

}  // namespace kvtapp
