// Files the application reads whole, within the bound on inputs, and writes whole.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/json.h"
#include "common/files.h"
#include "common/json_text.h"

namespace kvtapp {

// The whole file (or standard input for "-"), within the bound on inputs; throws an
// input error naming the file and the reason when it cannot be read. The file counts among
// the inputs read, which no output may replace.
std::string readFile(const std::string& path);
// The JSON document of a file read so; throws the file's problem, naming the field.
nlohmann::ordered_json readJsonFile(const std::string& path);

// A file that a piece of work reads or keeps, with what it is to the work ("the lab file").
struct KeptFile {
    std::string path;
    std::string what;
};

// What an output does with a file that stands under its name. A file the user kept is never
// replaced by surprise: it is refused unless the front end was told to replace it, and the
// refusal says how (howToReplace: "add --force", to which " to replace it" is added). A pipe or
// a device is written in place either way: nothing stands there to lose.
struct OutputRules {
    bool replace = false;
    std::string howToReplace;
};

// What the outputs of a piece of work go by: the files it keeps and reads, which no output may
// land on (asked when an output is opened and again before it is put in place, so that a file
// named or read in between counts too), and the rules for a file that stands under its name.
class OutputGuard {
  public:
    virtual ~OutputGuard() = default;
    virtual std::vector<KeptFile> keptFiles() const = 0;
    virtual OutputRules outputRules() const = 0;
};

// The files read by readFile so far, each "an input of this command".
std::vector<KeptFile> inputsRead();

// Refuses (an input Error) an output that is one of the kept files: the same file by device
// and inode, whatever the path says, or where no file stands yet (a journal not made yet), the
// same name in the same folder.
void refuseKept(const std::string& output, const std::vector<KeptFile>& kept);

// A file written at the end of a piece of work, made at once: a place that cannot be written,
// a file the guard keeps, or a file there that the guard's rules keep, is an input error before
// anything is sent or fetched, and the file appears whole or not at all (interrupted, it is
// never half written). A kept file is refused again before the output replaces anything, and a
// file that comes under the name meanwhile is not replaced unless the rules replace. With
// replace false, a file that stands there is refused whatever the rules (a backup).
class OutputFile {
  public:
    OutputFile(const std::string& path, const OutputGuard& guard, bool replace = true);
    void commit(const std::string& text);
    const std::string& path() const { return file_.path(); }

  private:
    const OutputGuard& guard_;
    kvttools::AtomicFile file_;
};

}  // namespace kvtapp
