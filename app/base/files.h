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

// A file written at the end of a piece of work, made at once: a place that cannot be written
// is an input error before anything is sent or fetched, and the file appears whole or not at
// all (interrupted, it is never half written). With replace false, a file that exists is
// refused, however it came there.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path, bool replace = true);
    void commit(const std::string& text);
    const std::string& path() const { return file_.path(); }

  private:
    kvttools::AtomicFile file_;
};

}  // namespace kvtapp
