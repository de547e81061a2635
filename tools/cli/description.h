// The procedure description file: strategies, prompt definitions and tasks in JSON, checked
// field by field before anything is built or sent.
#pragma once

#include <string>
#include <vector>

#include "failure.h"

namespace kvtcli {

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

struct Step {
    std::string path;
    std::string prompt;  // the prompt definition the step shows
};

struct TaskDefinition {
    std::string path;
    std::string name;
    std::vector<Step> steps;
};

struct Procedure {
    std::vector<StrategyDefinition> strategies;
    std::vector<PromptDefinition> prompts;
    std::vector<TaskDefinition> tasks;
};

// Limits of the calibrator's records, in characters.
constexpr size_t kStrategyNameMax = 20;
constexpr size_t kNameMax = 32;
constexpr size_t kStrategyPointsMax = 32000;

// Reads a description from JSON text. Every problem found is appended to problems; the
// procedure is usable only when none was. Prompt texts are fitted to the display with the
// library, which needs no session.
Procedure parseProcedure(const std::string& jsonText, std::vector<Problem>& problems);

// The names of the nine strategies that every procedure memory starts with, in the calibrator's
// character set, as the library makes them; the first call empties the library's image.
const std::vector<std::string>& standardStrategyNames();

}  // namespace kvtcli
