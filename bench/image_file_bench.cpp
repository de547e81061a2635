// Reading an image file as show, results, report and archive add do: the JSON read and checked,
// every record loaded into the library's image, read back, and every calibration result
// decoded with its setup, points and the records it rests on. An image of 20,000 records must
// read in under a second with under 100 MB resident.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/image_file.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_ext.h"
#include "memory/memory_image.h"
#include "memory/record_layout.h"
#include "memory/setup_record.h"
#include "setup/commit.h"
#include "support/byte_order.h"
#include "workspace/images.h"

using namespace kvtlnk;

namespace {

// The standard strategy of fewest points (MEMclear lays the standard ones down), and that count.
std::pair<int32_t, int32_t> smallestStrategy() {
    std::pair<int32_t, int32_t> best{-1, 0};
    for (int32_t i = 0; i < 9; ++i) {
        char name[64] = "";
        int32_t count = 0;
        if (MEMstrategyInfo(i, name, &count, 0, nullptr) == KVTLNK_OK &&
            (best.first < 0 || count < best.second)) {
            best = {i, count};
        }
    }
    return best;
}

// A setup record as the calibrator copies one into its results memory (form 5): a current
// measured, a voltage sourced, both scales on.
std::vector<uint8_t> setupCopy() {
    MemoryImage image;
    SetupState s;
    initSetup(s);
    InputSettings& in = s.changeInput();
    OutputSettings& out = s.changeOutput();
    in.function = 1, in.units = 2, in.range = 5, out.function = 2, out.units = 1;
    s.inScale.on = s.outScale.on = 1;
    const Record& setup = *image.procedure().selectRecord(saveSetup(s, image.procedure()));
    return {setup.data(), setup.data() + setup.length()};
}

// An image of about n records as a calibrator back from a long day holds them: the procedure
// memory with a task of one test, then prompt definitions that fill it; the results memory with
// a copy of the test's setup and, for each result of that test (of the fewest points of a
// standard strategy), the result and its tag. Both memories stay within the calibrator's
// 1,048,576 bytes.
kvttools::MemoryFile fieldImage(int n) {
    MEMclear();
    const auto [strategy, points] = smallestStrategy();
    const uint8_t stamp[KVX_STAMP_SIZE] = {5, 4, 9, 3, 2, 5, 32};
    const std::vector<uint8_t> setup = setupCopy();
    int32_t setupIndex = -1;
    KVXloadRecord(KVX_PROCEDURE, SETUP_5, 0, stamp, setup.data(), uint32_t(setup.size()),
                  &setupIndex);
    MEMstartTask("field");
    MEMtemplate(static_cast<uint32_t>(strategy), 0, "PT-101", "", uint32_t(setupIndex));
    MEMendTask();
    KVXloadRecord(KVX_RESULTS, SETUP_5, 0, stamp, setup.data(), uint32_t(setup.size()), nullptr);
    std::vector<uint8_t> result(12 + 22 * size_t(points));
    storeU32(&result[0], static_cast<uint32_t>(-1));  // the setup copy, results record 0
    storeU32(&result[4], static_cast<uint32_t>(strategy));
    storeU16(&result[8], static_cast<uint16_t>(points));
    const char tag[] = "PT-101\0\0";
    const int results = n * 7 / 20;
    for (int i = 0; i < results; ++i) {
        for (int32_t e = 0; e < points; ++e) {
            uint8_t* entry = &result[12 + 22 * size_t(e)];
            storeF32(entry, 0.004f + 0.0008f * static_cast<float>((i + e) % 11));
            entry[16] = 5, entry[17] = 8, entry[18] = entry[19] = entry[20] = 1;
        }
        KVXloadRecord(KVX_RESULTS, CAL_RESULT_A, 0, stamp, result.data(), uint32_t(result.size()),
                      nullptr);
        KVXloadRecord(KVX_RESULTS, TAG_ID, 0, stamp, reinterpret_cast<const uint8_t*>(tag),
                      sizeof tag, nullptr);
    }
    uint32_t procedure = 0, held = 0;
    MEMstats(&procedure, &held);
    for (int i = 0; int(procedure + held) + i < n; ++i)
        MEMpromptDefn(("P" + std::to_string(i)).c_str(), "Vent it.");
    kvttools::MemoryFile file;
    std::vector<uint8_t> data(KVX_RECORD_SIZE_MAX);
    for (const auto& [memory, records] :
         {std::pair{KVX_PROCEDURE, &file.procedure}, {KVX_RESULTS, &file.results}}) {
        for (int32_t i = 0;; ++i) {
            kvttools::MemoryRecord record;
            uint32_t kind = 0, version = 0, length = 0;
            uint8_t s[KVX_STAMP_SIZE];
            if (KVXreadRecord(memory, i, &kind, &version, s, &length, data.data(),
                              KVX_RECORD_SIZE_MAX) != KVTLNK_OK) {
                break;
            }
            record.kind = static_cast<uint16_t>(kind);
            record.version = static_cast<uint16_t>(version);
            record.stamp = {s[0], s[1], s[2], s[3], s[4], s[5], s[6]};
            record.data.assign(data.begin(), data.begin() + length);
            records->push_back(std::move(record));
        }
    }
    return file;
}

double maxResidentMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ReadImageFile(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kvtlnk-image-bench-" + std::to_string(getpid()) + ".json"))
                                 .string();
    std::ofstream(path) << kvttools::formatMemoryFile(fieldImage(n));
    const kvtapp::Workspace workspace;
    size_t records = 0, results = 0;
    for (auto _ : state) {
        const kvtapp::ImageDocument image = kvtapp::imageOfFile(workspace, path);
        records = image.procedure.size() + image.results.size();
        results = image.calibrations.size();
        if (results == 0 || !image.calibrations.back().problem.empty())
            state.SkipWithError("the results do not decode");
    }
    std::remove(path.c_str());
    state.counters["records"] = static_cast<double>(records);
    state.counters["results"] = static_cast<double>(results);
    state.counters["per_record"] =
        benchmark::Counter(static_cast<double>(state.iterations() * records),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["max_resident_MB"] = maxResidentMB();
}
BENCHMARK(BM_ReadImageFile)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
