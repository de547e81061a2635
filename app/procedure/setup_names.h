// The names the STA setters take, from the tables of the library's header, and what to say of
// a name the calibrator does not know.
#pragma once

#include <string>
#include <vector>

namespace kvtapp {

using Names = std::vector<std::string>;

extern const Names kInputFunctions;
extern const Names kOutputFunctions;
extern const Names kThermocouples;
extern const Names kRtds;
extern const Names kTemperatureUnits;
extern const Names kPressureUnits;
extern const Names kLoopPower;
extern const Names kStandards;
extern const Names kJunctionModes;

bool among(const Names& names, const std::string& name);

// "\"24V\" is not a loop power setting the calibrator knows (none, off, 24v, 28v): names are
// lowercase, \"24v\"", for what "a loop power setting the calibrator knows".
std::string unknownName(const std::string& name, const std::string& what, const Names& valid);

// The sensors a function reads; none for the functions without one.
const Names* sensorsOf(const std::string& function);

}  // namespace kvtapp
