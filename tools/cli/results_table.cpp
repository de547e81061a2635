#include "results_table.h"

#include <fmt/format.h>

#include <cmath>
#include <string>

#include "charset.h"
#include "kvtlnk/kvtlnk.h"
#include "table.h"

namespace kvtcli {
namespace {

constexpr uint32_t kCalResultCodes[] = {1, 2};  // directory codes of calibration results
constexpr uint32_t kNoTask = 0xFFFFFFFF;
constexpr uint32_t kNoRecord = 0x7FFFFFFF;

std::string value(float v, uint32_t present) {
    if (present == 0 || std::isnan(v)) return "-";
    return fmt::format("{:.6g}", v);
}

std::string taskText(uint32_t task) {
    if (task == kNoTask) return "none (its setup lies in the results memory)";
    if (task == kNoRecord) return "none (the template is outside every task)";
    char name[33] = "";
    uint32_t word = 0;
    MEMtaskInfo(static_cast<int32_t>(task), name, &word);
    return fmt::format("\"{}\" (record {})", toUtf8(name), task);
}

std::string strategyText(uint32_t strategy) {
    char name[21] = "";
    int32_t count = 0;
    MEMstrategyInfo(static_cast<int32_t>(strategy), name, &count, 0, nullptr);
    return fmt::format("\"{}\" (record {})", toUtf8(name), strategy);
}

void printResult(std::ostream& out, int32_t index) {
    uint32_t points = 0, task = 0, strategy = 0, flag = 0;
    char tag[3][33] = {"", "", ""};
    if (MEMcalResult(index, &points) != KVTLNK_OK ||
        MEMasflInfo(index, &task, &strategy, &flag) != KVTLNK_OK) {
        out << fmt::format("\nResult at record {}: does not decode\n", index);
        return;
    }
    MEMtagidInfo(static_cast<uint32_t>(index), tag[0], tag[1], tag[2]);
    out << fmt::format("\nResult at record {}: tag \"{}\" \"{}\" \"{}\"\n", index, toUtf8(tag[0]),
                       toUtf8(tag[1]), toUtf8(tag[2]));
    out << fmt::format("  task {}, strategy {}, {} points{}\n", taskText(task),
                       strategyText(strategy), points, flag != 0 ? ", flagged" : "");
    Table table({"point", "measured", "range up to", "sourced", "range up to", "third value"},
                "rrrrrr");
    for (uint32_t e = 0; e < points; ++e) {
        float in = 0, inLimit = 0, src = 0, outLimit = 0, third = 0;
        uint32_t inFlag = 0, outFlag = 0;
        if (MEMcalResultEntry(index, static_cast<int32_t>(e), &in, &inFlag, &inLimit, &src,
                              &outFlag, &outLimit, &third) != KVTLNK_OK) {
            table.add({std::to_string(e), "does not decode"});
            continue;
        }
        table.add({std::to_string(e), value(in, inFlag), value(inLimit, inFlag),
                   value(src, outFlag), value(outLimit, outFlag), value(third, 1)});
    }
    table.print(out);
}

}  // namespace

void printResults(std::ostream& out) {
    uint32_t procedureItems = 0, resultItems = 0;
    MEMstats(&procedureItems, &resultItems);
    for (uint32_t i = 0; i < resultItems; ++i) {
        uint32_t code = 0, d = 0;
        MEMrDir(static_cast<int32_t>(i), &code, &d, &d, &d, &d, &d, &d);
        for (uint32_t c : kCalResultCodes) {
            if (code == c) printResult(out, static_cast<int32_t>(i));
        }
    }
}

}  // namespace kvtcli
