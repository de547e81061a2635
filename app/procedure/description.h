// The procedure description file: strategies, prompt definitions, setups and tasks in JSON,
// checked field by field before anything is built or sent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "procedure/setup_description.h"

namespace kvtapp {

// All texts below are in the calibrator's character set; path is where the item stands in the
// file, for messages about it later.
struct StrategyDefinition {
    std::string path;
    std::string name;
    std::vector<float> points;
};

struct PromptDefinition {
    std::string path;
    std::string name;
    std::string text;
};

// A test: the calibrator takes a setup and steps through a strategy's points.
struct TestDefinition {
    std::string setup;     // the name of a setup of the file
    std::string strategy;  // the name of a standard strategy or one of the file
    bool flag = false;
    std::string text1, text2;
};

struct Step {
    std::string path;
    std::string prompt;  // the prompt definition the step shows, or
    std::optional<TestDefinition> test;
};

struct TaskDefinition {
    std::string path;
    std::string name;
    std::vector<Step> steps;
};

struct Procedure {
    std::vector<StrategyDefinition> strategies;
    std::vector<PromptDefinition> prompts;
    std::vector<SetupDefinition> setups;
    std::vector<TaskDefinition> tasks;
};

// The calibrator a description is checked for when none is at hand: the built-in emulator's K27,
// which takes every setup.
constexpr const char* kCheckedModel = "ORVAN K27";
constexpr const char* kCheckedFirmware = "V1.2.0";

// Limits of the calibrator's records, in characters.
constexpr size_t kStrategyNameMax = 20;
constexpr size_t kNameMax = 32;
constexpr size_t kStrategyPointsMax = 32000;

// Reads a description from JSON text. Every problem found is appended to problems; the
// procedure is usable only when none was. Prompt texts are fitted to the display with the
// library, which needs no session. lab gives the lab file when a setup names a pressure module.
Procedure parseProcedure(const std::string& jsonText, std::vector<Problem>& problems,
                         const LabSource& lab = {});
// The same, of a JSON document already read.
Procedure readProcedure(const json& root, std::vector<Problem>& problems,
                        const LabSource& lab = {});

// The names of the nine strategies that every procedure memory starts with, in the calibrator's
// character set, as the library makes them; the first call empties the library's image.
const std::vector<std::string>& standardStrategyNames();

}  // namespace kvtapp
