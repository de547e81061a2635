#include "store.h"

#include <fmt/format.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "error.h"
#include "lab_commands.h"
#include "table.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

enum : uint16_t { kSetup4 = 4, kTemplate = 6, kTaskStart = 11, kTaskEnd = 13, kTagId = 15 };

// A record reference stored in a record: 32-bit big-endian; nothing past the record's end.
std::optional<int32_t> referenceAt(const ImageRecord& r, size_t offset) {
    if (r.data.size() < offset + 4) return std::nullopt;
    const uint32_t v = uint32_t(r.data[offset]) << 24 | uint32_t(r.data[offset + 1]) << 16 |
                       uint32_t(r.data[offset + 2]) << 8 | r.data[offset + 3];
    return static_cast<int32_t>(v);
}

// The record a reference names: procedure indexes from 0, results ones as -1, -2, ...
const ImageRecord* named(const ImageDocument& image, std::optional<int32_t> ref) {
    if (!ref) return nullptr;
    const std::vector<ImageRecord>& memory = *ref >= 0 ? image.procedure : image.results;
    const int64_t index = *ref >= 0 ? *ref : -int64_t(*ref) - 1;
    return index < int64_t(memory.size()) ? &memory[static_cast<size_t>(index)] : nullptr;
}

// The test that made the result: the first after the setup that names the same setup, as the
// library finds a result's task; for a setup the calibrator copied into the results memory,
// the test with the result's strategy, texts and flag.
const ImageRecord* findTemplate(const ImageDocument& image, const ResultView& r,
                                std::optional<int32_t> setup, std::optional<int32_t> strategy) {
    for (const TaskView& task : image.tasks) {
        for (const StepView& step : task.steps) {
            if (step.kind != "test") continue;
            const ImageRecord& t = image.procedure[static_cast<size_t>(step.index)];
            const bool same = setup && *setup >= 0
                                  ? step.index >= *setup && referenceAt(t, 4) == setup
                                  : referenceAt(t, 0) == strategy && step.text1 == r.text1 &&
                                        step.text2 == r.text2 && step.flag == r.flagged;
            if (same) return &t;
        }
    }
    return nullptr;
}

// The task a test stands in: the last task start before it, unless a task end comes between.
const ImageRecord* taskOf(const ImageDocument& image, const ImageRecord& test) {
    for (int32_t i = test.index - 1; i >= 0; --i) {
        const ImageRecord& r = image.procedure[static_cast<size_t>(i)];
        if (r.kind == kTaskEnd) return nullptr;
        if (r.kind == kTaskStart) return &r;
    }
    return nullptr;
}

std::string hostName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string userName() {
    const passwd* user = getpwuid(geteuid());
    if (user && user->pw_name) return user->pw_name;
    const char* env = std::getenv("USER");
    return env ? env : "";
}

kvtarchive::Point archivePoint(const PointView& p) {
    kvtarchive::Point a;
    a.index = p.index;
    a.fraction = p.fraction;
    a.down = p.down;
    a.nominalSource = p.nominalSource;
    a.source = p.source;
    a.sourceLimit = p.sourceLimit;
    a.expected = p.expected;
    a.reading = p.reading;
    a.readingLimit = p.readingLimit;
    a.recordedError = p.recordedError;
    a.error = p.error;
    a.verdict = verdictName(p.verdict);
    return a;
}

kvtarchive::Result archiveResult(const ImageDocument& image, const ResultView& r) {
    kvtarchive::Result a;
    a.taken = r.taken;
    a.index = r.index;
    a.tag = r.tag;
    a.text1 = r.text1;
    a.text2 = r.text2;
    a.task = r.task;
    a.strategy = r.strategy;
    a.asLeft = r.flagged;
    a.verdict = verdictName(r.verdict);
    a.resultCode = r.resultCode;
    a.problem = r.problem;
    a.decoded =
        toJson(std::vector<ResultView>{r})[0].dump(-1, ' ', false, json::error_handler_t::replace);
    a.records = restingRecords(image, r);
    for (const PointView& p : r.points)
        a.points.push_back(archivePoint(p));
    if (!r.problem.empty() && r.points.empty()) return a;  // no setup to speak of
    a.tolerance = r.setup.tolerance > 0 ? r.setup.tolerance : kvtarchive::kNone;
    a.inputUnit = r.setup.input.unit;
    a.outputUnit = r.setup.output.unit;
    a.setupInput = describeInput(r.setup);
    a.setupOutput = describeOutput(r.setup);
    a.setupRest = describeRest(r.setup);
    const std::string temperatures = describeTemperatures(r.setup);
    if (!temperatures.empty()) a.setupRest += "; " + temperatures;
    return a;
}

}  // namespace

std::string archiveLocation(const Context& context) {
    return kvtarchive::archiveLocation(context.archive, labOf(context).archive);
}

std::unique_ptr<kvtarchive::Archive> openArchive(const Context& context) {
    try {
        return kvtarchive::Archive::open(archiveLocation(context));
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
}

bool archiveExists(const Context& context) {
    const std::string location = archiveLocation(context);
    return kvtarchive::isPostgresLocation(location) || std::filesystem::exists(location);
}

CliError archiveError(const kvtarchive::ArchiveError& e) {
    return inputError(e.what());
}

std::vector<kvtarchive::StoredRecord> restingRecords(const ImageDocument& image,
                                                     const ResultView& r) {
    std::vector<kvtarchive::StoredRecord> records;
    const auto keep = [&](const char* role, const ImageRecord* record) {
        if (!record) return;
        const bool procedure = record >= image.procedure.data() &&
                               record < image.procedure.data() + image.procedure.size();
        records.push_back({role, procedure ? "procedure" : "results", record->index, record->kind,
                           record->version, kvttools::formatStamp(record->stamp), record->data});
    };
    if (r.index < 0 || size_t(r.index) >= image.results.size()) return records;
    const ImageRecord& result = image.results[static_cast<size_t>(r.index)];
    keep("result", &result);
    if (size_t(r.index) + 1 < image.results.size() &&
        image.results[size_t(r.index) + 1].kind == kTagId) {
        keep("tag", &image.results[size_t(r.index) + 1]);
    }
    const std::optional<int32_t> setupRef = referenceAt(result, 0);
    const std::optional<int32_t> strategyRef = referenceAt(result, 4);
    const ImageRecord* setup = named(image, setupRef);
    keep("setup", setup);
    if (setup && *setupRef < 0 && setup->index > 0 &&
        image.results[size_t(setup->index) - 1].kind == kSetup4) {
        keep("log", &image.results[size_t(setup->index) - 1]);
    }
    keep("strategy", named(image, strategyRef));
    const ImageRecord* test = findTemplate(image, r, setupRef, strategyRef);
    if (!test) return records;
    keep("template", test);
    const std::optional<int32_t> testSetup = referenceAt(*test, 4);
    if (testSetup != setupRef) keep("template setup", named(image, testSetup));
    keep("task", taskOf(image, *test));
    return records;
}

kvtarchive::Upload archiveUpload(const ImageDocument& image, const Context& context,
                                 const std::string& source) {
    kvtarchive::Upload u;
    const json& c = image.calibrator;
    u.calibrator = {calibratorText(c, "model"), calibratorText(c, "firmware"),
                    calibratorText(c, "serialNumber")};
    u.uploaded = calibratorText(c, "uploaded");
    u.host = hostName();
    u.user = userName();
    u.technician = technicianOf(context);
    u.source = source;
    for (const ResultView& r : image.calibrations)
        u.results.push_back(archiveResult(image, r));
    return u;
}

kvtarchive::AddOutcome storeImage(const Context& context, const ImageDocument& image,
                                  const std::string& source) {
    const kvtarchive::Upload upload = archiveUpload(image, context, source);
    auto archive = openArchive(context);
    Progress progress("archive", !context.quiet);
    std::vector<uint32_t> sizes;
    for (const kvtarchive::Result& r : upload.results)
        sizes.push_back(static_cast<uint32_t>(r.records.empty() ? 0 : r.records[0].data.size()));
    progress.begin(sizes);
    try {
        const kvtarchive::AddOutcome outcome =
            archive->add(upload, [&](size_t done, size_t) { progress.advance(uint32_t(done)); });
        progress.end();
        return outcome;
    } catch (const kvtarchive::ArchiveError& e) {
        progress.end();
        CliError error = archiveError(e);
        error.addLine("nothing of " + source + " was added to the archive");
        throw error;
    }
}

std::string storedLine(const kvtarchive::AddOutcome& outcome, const std::string& source,
                       const std::string& location) {
    if (outcome.added == 0) {
        return fmt::format("The archive {} holds every result of {} already ({}): nothing added",
                           location, source, outcome.held);
    }
    return fmt::format("Stored {} of {} in the archive {}: {}{}", plural(outcome.added, "result"),
                       source, location, plural(outcome.events, "calibration event"),
                       outcome.held ? fmt::format(", {} held already", outcome.held) : "");
}

}  // namespace kvtcli

namespace kvtcli {

void storeUpload(const Context& context, const ImageDocument& image, const std::string& source,
                 std::optional<OutputFile>& file) {
    if (file) file->commit(dumpJson(toJson(image)));
    const kvtarchive::AddOutcome outcome = storeImage(context, image, source);
    const std::string location = archiveLocation(context);
    if (context.json) {
        std::cout << dumpJson(
            {{"file", file ? json(file->path()) : json(nullptr)},
             {"archive", location},
             {"upload", outcome.uploadId ? json(outcome.uploadId) : json(nullptr)},
             {"added", outcome.added},
             {"held", outcome.held},
             {"events", outcome.events}});
        return;
    }
    if (file) std::cout << "Wrote " << file->path() << '\n';
    std::cout << storedLine(outcome, source, location) << '\n';
}

bool archiveHoldsAll(const Context& context, Session& session) {
    if (!archiveExists(context)) return false;
    Progress progress("upload", !context.quiet);
    session.upload(progress);
    ImageDocument image = captureImage();
    image.calibrator = calibratorJson(session);
    if (image.calibrations.empty()) return false;
    const kvtarchive::Upload upload = archiveUpload(image, context, session.portName());
    std::vector<bool> held;
    try {
        held = openArchive(context)->holds(upload.calibrator.serialNumber, upload.results);
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
    if (std::find(held.begin(), held.end(), false) != held.end()) return false;
    std::cerr << fmt::format("kvtlnk: the archive {} holds all {} the calibrator holds\n",
                             archiveLocation(context), plural(held.size(), "calibration result"));
    return true;
}

}  // namespace kvtcli
