#include "workspace/store.h"

#include <algorithm>
#include <cstdint>

#include "base/error.h"
#include "base/numbers.h"
#include "base/platform.h"
#include "base/time.h"
#include "workspace/certificates.h"
#include "workspace/standards.h"

namespace kvtapp {

nlohmann::ordered_json uploadJson(const Workspace& workspace) {
    return {{"bench", workspace.bench()},
            {"user", platform::userName()},
            {"technician", workspace.technician()}};
}

Upload uploadOf(const ImageDocument& image, const Workspace& workspace, const std::string& source) {
    const nlohmann::ordered_json now = uploadJson(workspace);
    const auto uploaded = [&](const char* key) {
        const std::string text = calibratorText(image.upload, key);
        return text.empty() ? calibratorText(now, key) : text;
    };
    Upload u;
    u.calibrator = calibratorOf(image.calibrator);
    u.uploaded = calibratorText(image.calibrator, "uploaded");
    if (u.uploaded.empty()) u.uploaded = localTime();  // stored now: its stamps are judged by now
    u.host = uploaded("bench");
    u.user = uploaded("user");
    u.technician = uploaded("technician");
    u.source = source;
    u.results = image.calibrations;
    return u;
}

kvtarchive::AddOutcome storeImage(const Workspace& workspace, const ImageDocument& image,
                                  const std::string& source, TransferProgress& progress) {
    const Upload upload = uploadOf(image, workspace, source);
    auto archive = workspace.openArchive(kvtarchive::Access::Store);
    std::vector<uint32_t> sizes;
    for (const Result& r : upload.results)
        sizes.push_back(static_cast<uint32_t>(r.records.empty() ? 0 : r.records[0].data.size()));
    progress.begin(sizes);
    try {
        kvtarchive::AddOutcome outcome =
            archive->add(upload, visitRules(workspace.lab()),
                         [&](size_t done, size_t) { progress.advance(uint32_t(done)); });
        progress.end();
        outcome.created = archive->created();
        keepLabRecords(workspace.lab(), *archive);
        if (outcome.uploadId) recordStandards(workspace, *archive, outcome.uploadId);
        return outcome;
    } catch (const kvtarchive::ArchiveError& e) {
        progress.end();
        Error error = archiveError(e);
        error.addLine("nothing of " + source + " was added to the archive");
        throw error;
    }
}

bool archiveHoldsAll(const Workspace& workspace, const ImageDocument& image,
                     const std::string& source) {
    if (!workspace.archiveExists() || image.calibrations.empty()) return false;
    const Upload upload = uploadOf(image, workspace, source);
    std::vector<bool> held;
    try {
        held = kvtarchive::Archive::open(workspace.archiveLocation(), kvtarchive::Access::Read)
                   ->holds(upload.calibrator.serialNumber, upload.results);
    } catch (const kvtarchive::NoArchive&) {
        return false;
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
    return std::find(held.begin(), held.end(), false) == held.end();
}

VisitRules visitRules(const kvtlab::Lab& lab) {
    return {int64_t(lab.windowDays) * 86400, lab.clockToleranceSeconds};
}

void keepLabRecords(const kvtlab::Lab& lab, kvtarchive::Archive& archive) {
    try {
        std::vector<kvtlab::Standard> standards = lab.calibrators;
        standards.insert(standards.end(), lab.modules.begin(), lab.modules.end());
        archive.keepStandards(standards);
        for (const kvtlab::InstrumentEntry& e : lab.instruments) {
            archive.noteLabIdentity(e.tag,
                                    {e.make, e.model, e.serialNumber, e.range, e.customer, "", ""});
        }
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
}

std::vector<Instrument> instrumentsOf(const Workspace& workspace, kvtarchive::Archive& archive,
                                      int64_t now) {
    std::vector<Instrument> list = archive.instruments(now, workspace.settings.intervalDays);
    const bool guarded = workspace.lab().rule == kvtlab::DecisionRule::Guarded;
    for (Instrument& i : list) {
        if (guarded && i.lastCalibration) {
            std::optional<Calibration> last = archive.calibration(i.lastCalibration);
            judgeByLab(workspace, archive, *last);
            const std::optional<Verdict>& side = last->asLeft ? last->asLeft : last->asFound;
            i.lastVerdict = side.value_or(Verdict::None);
            i.lastAsFound = last->asFound.value_or(Verdict::None);
        }
        if (i.intervalSet || i.due.empty()) continue;
        const std::optional<int> fromLab = workspace.lab().intervalFor(i.tag);
        const int days = fromLab.value_or(workspace.settings.intervalDays);
        i.intervalFromLab = fromLab.has_value();
        const int64_t dueDay = dayOfStamp(i.due).value_or(now) - i.intervalDays + days;
        i.intervalDays = days;
        i.due = dateOfDay(dueDay);
        i.daysLeft = dueDay - now;
    }
    return list;
}

int64_t calibrationNumber(const std::string& text, const std::string& argument) {
    return wholeArgument(argument, text, 1, INT64_MAX,
                         "a calibration number: give the number archive list or history shows");
}

}  // namespace kvtapp
