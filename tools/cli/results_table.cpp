#include "results_table.h"

#include <fmt/format.h>

#include <cmath>
#include <initializer_list>
#include <string>

#include "charset.h"
#include "failure.h"
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

// Standard strategies that MEMclear lays down.
constexpr uint32_t kFiveUp = 3;
constexpr uint32_t kThreeUpDown = 2;

void check(uint32_t result, const char* what) {
    if (result != KVTLNK_OK) throw libraryError(result, what);
}

// A setup made from STAinit by the given calls, saved; its procedure index.
uint32_t savedSetup(std::initializer_list<uint32_t> results) {
    for (uint32_t r : results)
        check(r, "setting up a field test");
    int32_t index = -1;
    check(STAsave(&index), "STAsave");
    return static_cast<uint32_t>(index);
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

void appendFieldTests() {
    STAinit();
    const uint32_t flow = savedSetup({STAsetInput("current", ""), STAsetInputScale(0.004f, 0.02f),
                                      STAsetOutput("dcv", "", 1, 0), STAsetOutputScale(1, 5)});
    STAinit();
    const uint32_t temperature =
        savedSetup({STAsetInput("current", ""), STAsetInputScale(0.004f, 0.02f),
                    STAsetOutput("2w_rtd", "rtd_pt100_385", 0, 0), STAsetOutputScale(0, 200)});
    check(MEMstartTask("field tests"), "MEMstartTask");
    check(MEMtemplate(kFiveUp, 0, "FT-101", "flow", flow), "MEMtemplate");
    check(MEMtemplate(kThreeUpDown, 0, "TT-204", "temperature", temperature), "MEMtemplate");
    check(MEMendTask(), "MEMendTask");
    STAinit();
}

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
