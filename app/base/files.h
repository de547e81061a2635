// Files the application reads whole, within the bound on inputs, and writes whole.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "base/json.h"
#include "common/files.h"
#include "common/json_text.h"

namespace kvtapp {

// The whole file (or standard input for "-"), within the bound on inputs; throws an
// input error naming the file and the reason when it cannot be read.
std::string readFile(const std::string& path);
// The JSON document of a file read so; throws the file's problem, naming the field.
nlohmann::ordered_json readJsonFile(const std::string& path);

// What an output does with a file that stands under its name. A file the user kept is never
// replaced by surprise: it is refused unless the front end was told to replace it, and the
// refusal says how (howToReplace: "add --force", to which " to replace it" is added). A pipe or
// a device is written in place either way: nothing stands there to lose.
struct OutputRules {
    bool replace = false;
    std::string howToReplace;
};

// What the outputs of a piece of work go by: a front end's workspace.
class OutputGuard {
  public:
    virtual ~OutputGuard() = default;
    virtual OutputRules outputRules() const = 0;
};

// A file written at the end of a piece of work, made at once: a place that cannot be written,
// or a file there that the guard's rules keep, is an input error before anything is sent or
// fetched, and the file appears whole or not at all (interrupted, it is never half written). A
// file that comes under the name meanwhile is not replaced either, unless the rules replace.
// With replace false, a file that stands there is refused whatever the rules (a backup).
class OutputFile {
  public:
    OutputFile(const std::string& path, const OutputGuard& guard, bool replace = true);
    void commit(const std::string& text);
    const std::string& path() const { return file_.path(); }

  private:
    kvttools::AtomicFile file_;
};

}  // namespace kvtapp
