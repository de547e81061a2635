// The image file: both memories of a calibrator record by record (kind, version, stamp, data as
// hex) and what the library's reading calls decode from them.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "common/image_file.h"
#include "records/calibration.h"
#include "records/result.h"

namespace kvtapp {

using kvttools::kindName;

// A record of either memory: kind, version word, stamp and data, and where it stands.
struct ImageRecord : kvttools::MemoryRecord {
    int32_t index = 0;
    uint32_t code = 0;  // the directory code MEMpDir or MEMrDir reports
};

// Decoded views; texts in UTF-8.
struct StrategyView {
    int32_t index = 0;
    std::string name;
    std::vector<float> points;
};

struct PromptDefinitionView {
    int32_t index = 0;
    std::string name;
    std::string text;
};

struct StepView {
    int32_t index = 0;
    std::string kind;       // "prompt" or "test"
    std::string prompt;     // prompt: the definition it names
    bool defined = true;    // prompt: whether a definition of that name exists
    int32_t strategy = -1;  // test: the strategy's index, its name, flag and texts
    std::string strategyName;
    bool flag = false;
    std::string text1, text2;
    std::optional<Setup> setup;  // test: the setup it names, when it decodes
};

struct TaskView {
    int32_t index = 0;
    std::string name;
    uint32_t word = 0;
    bool ended = false;  // false when the memory ends before the task's end record
    std::vector<StepView> steps;
};

struct ImageDocument {
    nlohmann::ordered_json calibrator;  // identity of the calibrator it came from; null when built
    // Who uploaded the memories, and on which bench: {"bench", "user", "technician"}, texts;
    // null when that is not known (built, or a file written before it was kept).
    nlohmann::ordered_json upload;
    std::vector<ImageRecord> procedure;
    std::vector<ImageRecord> results;
    std::vector<StrategyView> strategies;
    std::vector<PromptDefinitionView> prompts;
    std::vector<TaskView> tasks;
    std::vector<int32_t> setups;       // procedure indexes of saved setups
    std::vector<std::string> notes;    // records the reading calls could not decode
    std::vector<Result> calibrations;  // the calibration results, decoded, with the
                                       // records each rests on
};

// Both memories of the library's image as they are now: the records as bytes, their meaning
// through the MEM reading calls (the setups of tests and results through the STA getters), the
// results with the records each rests on.
ImageDocument captureImage();

// The records of one memory of the library's image, as bytes.
std::vector<ImageRecord> imageRecords(kvttools::Memory memory);

// Replaces both memories of the library's image with these records, as an upload of them
// would; an input Error when a record cannot be taken.
void loadImage(const kvttools::MemoryFile& memories);

// The setup the library holds now, through the STA getters: after MEMtemplateState the setup
// of a test, after MEMbaseState the one a result was taken with.
Setup readSetup();

// Every calibration result of the library's results memory, in memory order, decoded through
// the MEM results calls and, for the setup each ran with, MEMbaseState and the STA getters;
// with the error of each test point against the setup's scales and its verdict against the
// setup's tolerance.
std::vector<Result> readResults();

// The records a result rests on, each at its place, as the library finds them: the result, its
// tag record, the setup it names and the log before it, its strategy, and the test (template)
// that made it, with that test's setup and task.
std::vector<RestingRecord> restingRecords(const ImageDocument& image, const Result& result);

nlohmann::ordered_json toJson(const ImageDocument& image);

// Whether a JSON document is an image file (or a memory file of the emulator) rather than a
// procedure description.
bool isImageJson(const nlohmann::ordered_json& value);

// The memories an image file holds, to be uploaded from an emulator holding them (the library
// decodes them then), and the calibrator the file names. Throws the file's problem.
struct ImageFile {
    nlohmann::ordered_json calibrator;
    nlohmann::ordered_json upload;  // as ImageDocument has it
    kvttools::MemoryFile memories;
};
ImageFile readImageFile(const std::string& file, const nlohmann::ordered_json& value);

// A text of an image's calibrator ("model", "firmware", "serialNumber", "uploaded", "port"), or
// of its upload ("bench", "user", "technician"); "" when it has none. The serial number of
// files written before it had that name is "ident3".
std::string calibratorText(const nlohmann::ordered_json& calibrator, const std::string& key);
// The calibrator an image names, and the JSON the image keeps of a calibrator in a session:
// its identity, its port and the time of the upload.
Calibrator calibratorOf(const nlohmann::ordered_json& calibrator);
nlohmann::ordered_json calibratorJson(const Calibrator& calibrator, const std::string& port,
                                      const std::string& uploaded);

// What differs between the procedure records of two images (sent, and come back from a
// calibrator), one line each; the stamps are the calibrator's own and are not compared.
std::vector<std::string> procedureDifferences(const ImageDocument& sent, const ImageDocument& back);

// The bytes each record of the library's image takes, procedure memory first, as the image
// stands (after KVTuplStart: the sizes the calibrator's directories announced).
std::vector<uint32_t> recordSizes();

// The files MEMdump writes of the library's image (per memory its listing and a data file per
// record, results first) that do not stand in directory as the records are, by name in the
// order they are written; total gets how many there are.
std::vector<std::string> dumpFilesAmiss(const std::string& directory, size_t* total);

}  // namespace kvtapp
