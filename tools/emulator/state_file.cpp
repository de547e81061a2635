#include "state_file.h"

#include <optional>

#include "common/files.h"
#include "common/json_text.h"
#include "emu_clock.h"

namespace k27emu {
namespace {

using kvttools::FileProblem;
using kvttools::Json;

// An offset beyond two centuries moves the clock outside every year a stamp holds.
constexpr int64_t kMaxOffset = int64_t{200} * 366 * 86400;

bool wholeNumber(const Json& doc, const char* key, int64_t low, int64_t high, int64_t* out,
                 FileProblem* problem) {
    const auto it = doc.find(key);
    if (it == doc.end()) {
        *problem = {key, "missing"};
        return false;
    }
    if (!it->is_number_integer() || it->get<int64_t>() < low || it->get<int64_t>() > high ||
        (it->is_number_unsigned() && it->get<uint64_t>() > static_cast<uint64_t>(high))) {
        *problem = {
            key, "not a whole number from " + std::to_string(low) + " to " + std::to_string(high)};
        return false;
    }
    *out = it->get<int64_t>();
    return true;
}

bool readState(const Json& doc, EmulatorState* state, FileProblem* problem) {
    if (!doc.is_object() || !doc.contains("kvtsimState")) {
        *problem = {"(top level)",
                    "not an emulator's state file (no \"kvtsimState\"); to serve a memory file, "
                    "give it to kvtsim --image"};
        return false;
    }
    int64_t format = 0, seed = 0;
    EmulatorState read;
    if (!wholeNumber(doc, "kvtsimState", kStateFormat, kStateFormat, &format, problem) ||
        !wholeNumber(doc, "seed", 0, UINT32_MAX, &seed, problem) ||
        !wholeNumber(doc, "clockOffsetSeconds", -kMaxOffset, kMaxOffset, &read.clockOffsetSeconds,
                     problem) ||
        !wholeNumber(doc, "inServiceSince", -kMaxOffset, kMaxOffset, &read.inServiceSince,
                     problem)) {
        return false;
    }
    for (const char* list : {"procedure", "results"}) {
        if (!doc.contains(list)) {
            *problem = {list, "missing"};
            return false;
        }
    }
    if (!kvttools::readMemoryDocument(doc, &read.memories, problem)) return false;
    read.seed = static_cast<uint32_t>(seed);
    *state = std::move(read);
    return true;
}

}  // namespace

bool loadState(const std::string& path, EmulatorState* state, std::string* error) {
    std::string text;
    if (!kvttools::readTextFile(path, &text, error)) return false;
    FileProblem problem{"(file)", ""};
    const std::optional<Json> doc = kvttools::parseJson(text, &problem.message, &problem.field);
    if (!doc || !readState(*doc, state, &problem)) {
        *error = path + ": " + problem.text();
        return false;
    }
    return true;
}

std::string formatState(const EmulatorState& state, int64_t hostNow) {
    Json doc = {{"kvtsimState", kStateFormat},
                {"seed", state.seed},
                {"clockOffsetSeconds", state.clockOffsetSeconds},
                {"inServiceSince", state.inServiceSince},
                {"clock", kvttools::formatStamp(stampAt(hostNow + state.clockOffsetSeconds))},
                {"procedure", Json::array()},
                {"results", Json::array()}};
    for (const kvttools::MemoryRecord& r : state.memories.procedure)
        doc["procedure"].push_back(kvttools::itemJson(r));
    for (const kvttools::MemoryRecord& r : state.memories.results)
        doc["results"].push_back(kvttools::itemJson(r));
    return doc.dump(1) + "\n";
}

}  // namespace k27emu
