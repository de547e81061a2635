// What the tests of the kvtlnk tool share: running it, scratch files, the example procedure,
// and field runs of the emulator (tests sent, performed on a given day, uploaded).
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "calibrator.h"
#include "process.h"

// The example procedure of the sources.
extern const std::string kExample;

// A procedure memory of one record and two results, as a calibrator back from the field: a
// memory file of the emulator.
extern const char* const kFieldMemories;

// An image file of a calibrator that holds no results: storing it makes an archive, and adds
// nothing to it.
extern const char* const kNoResults;

// Whether text holds part.
bool has(const std::string& text, const std::string& part);

// Whether a text holds a control a terminal acts on: C0 but the line break, DEL, C1 in UTF-8.
bool holdsControls(const std::string& text);

// The tool built next to the tests.
ProcessResult runCli(const std::vector<std::string>& args);

// The program and its arguments, run as the user "nobody" when the tests run as root (whom
// no file permission stops), as they are otherwise.
std::vector<std::string> asOrdinaryUser(std::vector<std::string> command);

// A scratch directory removed with the object.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    // Writes text to the named file and returns its path.
    std::string write(const std::string& name, const std::string& text) const;

  private:
    std::string dir_;
};

// The whole file; empty when it cannot be read.
std::string contents(const std::string& path);

// Standard output parsed as JSON; a null value when it is not JSON.
nlohmann::json jsonOf(const ProcessResult& r);

// A command line of a table, its exit status, and the beginning of the first line of its
// standard error (of standard output when the status is 0).
struct CommandLine {
    int exitCode;
    std::string commandLine;
    std::string firstLine;
};

// Runs each command line and compares its exit status and first line. Names ("@port") stand for
// their values in both; "@file=TEXT" writes TEXT to the scratch file file.json and names it
// @file; '' is an empty argument. Words before the program: NAME=VALUE sets a variable of the
// environment, cd=DIR runs it in that directory, "nobody" runs it as that user where the tests
// run as root (and skips the line otherwise); "kvtsim" runs the emulator, anything else the tool
// with -q.
void expectFirstLines(const std::vector<CommandLine>& lines,
                      const std::vector<std::pair<std::string, std::string>>& names,
                      const ScratchDir& dir);

// Two instruments: PT-1 tested as found and, flagged, as left; TT-2 as found only; both setups
// with the tolerance given (% of span).
std::string fieldTests(const std::string& tolerance = "0.03");

// A day of the calibrator's clock, at 9:00.
kvttools::DateStamp stampOn(int year, int month, int day);

// The emulator's field run of fieldTests() with this seed on this day, uploaded into an image
// file of the scratch directory at 17:00 that day; alter, when given, changes the emulator's
// memories first.
std::string fieldImage(const ScratchDir& dir, uint32_t seed, kvttools::DateStamp day,
                       const std::string& serial = "SN1",
                       const std::function<void(k27emu::Calibrator&)>& alter = {});
