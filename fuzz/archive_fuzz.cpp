// The archive's readers over an SQLite file of any bytes, as a damaged disk or other software
// may leave one: opened to read (and brought up to date when it says it is older), then every
// reader of the archive on every instrument and event it names. A file that is not an archive
// may be refused (ArchiveError); nothing else may escape, crash or run without bound.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace {

// A folder of the process's own, where each input is the archive file.
const std::string& archivePath() {
    static const std::string path = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kvtarchive-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern + "/records.db";
    }();
    return path;
}

void readEverything(kvtarchive::Archive& archive) {
    archive.schemaVersion();
    std::vector<int64_t> calibrations = archive.calibrationsSince(0);
    for (const kvtapp::Instrument& i : archive.instruments(19000, 365)) {
        archive.lastCalibration(i.tag);
        archive.identity(i.tag);
        calibrations.push_back(i.lastCalibration);
        for (const kvtapp::Calibration& c : archive.history(i.tag))
            calibrations.push_back(c.id);
    }
    archive.undated();
    archive.undecodable();
    for (int64_t id : calibrations) {
        archive.calibration(id);
        archive.calibrationRecords(id);
        for (const kvtapp::IssuedCertificate& c : archive.certificates(id))
            archive.certificate(c.number);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = archivePath();
    for (const char* companion : {"-wal", "-shm", "-journal"})
        std::remove((path + companion).c_str());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
    try {
        readEverything(*kvtarchive::Archive::open(path, kvtarchive::Access::Read));
    } catch (const kvtarchive::ArchiveError&) {
        // Refused with its reason: what a damaged archive gets.
    }
    return 0;
}
