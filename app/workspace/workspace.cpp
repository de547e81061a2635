#include "workspace/workspace.h"

#include <filesystem>

#include "base/error.h"
#include "base/files.h"
#include "base/platform.h"

namespace kvtapp {
namespace {

std::shared_ptr<const kvtlab::Lab> readLab(const std::string& option) {
    const std::string path = kvtlab::labPath(option);
    // At the default place, a file that is not there, or that this user cannot even look
    // for, is no lab file.
    std::error_code unseen;
    if (option.empty() && !std::filesystem::exists(path, unseen)) {
        return std::make_shared<kvtlab::Lab>();
    }
    std::vector<kvtlab::Problem> found;
    auto lab = std::make_shared<kvtlab::Lab>(kvtlab::parseLab(readFile(path), path, found));
    if (found.empty()) return lab;
    std::vector<Problem> problems;
    for (const kvtlab::Problem& p : found)
        problems.push_back({p.key, p.message});
    throw Error::fileProblems(path, std::move(problems));
}

}  // namespace

const kvtlab::Lab& Workspace::lab() const {
    if (!lab_) lab_ = readLab(settings.lab);
    return *lab_;
}

std::string Workspace::labPath() const {
    return kvtlab::labPath(settings.lab);
}

kvtarchive::ArchivePlace Workspace::archivePlace() const {
    return kvtarchive::archivePlace(settings.archive, lab().archive, lab().path);
}

std::string Workspace::archiveLocation() const {
    return archivePlace().location;
}

std::string Workspace::archiveShown() const {
    return kvtarchive::shownLocation(archiveLocation());
}

bool Workspace::archiveExists() const {
    const std::string location = archiveLocation();
    std::error_code unseen;
    return kvtarchive::isPostgresLocation(location) || std::filesystem::exists(location, unseen);
}

std::unique_ptr<kvtarchive::Archive> Workspace::openArchive(kvtarchive::Access access) const {
    const kvtarchive::ArchivePlace place = archivePlace();
    try {
        return kvtarchive::Archive::open(place.location, access, actor());
    } catch (const kvtarchive::NoArchive& e) {
        throw inputError(std::string(e.what()) + " (" + place.origin +
                         "); upload --store and archive add make one");
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
}

std::vector<KeptFile> Workspace::keptFiles() const {
    std::vector<KeptFile> kept = inputsRead();
    kept.push_back({labPath(), "the lab file"});
    std::string labArchive;
    try {
        labArchive = lab().archive;
    } catch (const Error&) {
        // A lab file that cannot be read names no archive; the work that needs it stops there.
    }
    const std::string location =
        kvtarchive::archivePlace(settings.archive, labArchive, labPath()).location;
    for (KeptFile& f : kvtarchive::archiveFiles(location))
        kept.push_back(std::move(f));
    return kept;
}

kvtarchive::Actor Workspace::actor() const {
    return {technician(), settings.command, ""};
}

std::string Workspace::technician() const {
    return settings.technician.empty() ? lab().technician : settings.technician;
}

std::string Workspace::bench() const {
    return lab().bench.empty() ? platform::hostName() : lab().bench;
}

Error archiveError(const kvtarchive::ArchiveError& e) {
    return inputError(e.what());
}

}  // namespace kvtapp
