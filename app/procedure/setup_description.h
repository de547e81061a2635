// The setups of a procedure description: what the calibrator measures and sources for a test,
// by the names the library takes, made with the STA setters and saved with STAsave.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lab/lab.h"
#include "procedure/field_checker.h"

namespace kvtapp {

// The lab file, read when a setup first names one of its pressure modules; nothing when there
// is none to read.
using LabSource = std::function<const kvtlab::Lab*()>;

// The amplitude of a "freq" source when the description gives none, in volts.
constexpr float kDefaultAmplitude = 1.0f;

// One side of the calibrator: the input (measure) or the output (source). Values in base units
// (amps, volts, hertz, ohms), temperatures and pressures in the setup's units.
struct SideDefinition {
    std::string path;  // "setups.PT-101.input"
    std::string function;
    std::string sensor;          // of "tc" and the RTD functions
    std::string units;           // of temperature and pressure functions; "" for the default
    std::optional<float> value;  // output: the value sourced at first (the scale's first end)
    float amplitude = 0;         // output "freq": the signal's amplitude in volts
    std::optional<float> range;  // input: a reading the fixed range must hold; none: automatic
    float scale[2] = {0, 0};     // the span the test's points step through
    // pressure: the span of the lab file's pressure module the side names ("module": its
    // serial number), in the side's units; none when it names none
    std::optional<std::pair<float, float>> moduleSpan;
    bool complete = true;  // false when a field had a problem: the side is not made then
};

struct SetupDefinition {
    std::string path;  // "setups.PT-101"
    std::string name;
    SideDefinition input, output;
    std::string loopPower;           // "" leaves it off
    std::string standard;            // temperature standard; "" for the default
    std::string junctionMode;        // reference junction: "" (measured), "measure" or "user"
    float junctionTemperature = 0;   // of "user", in the setup's temperature units
    std::optional<float> tolerance;  // in % of the span
};

// Reads the "setups" object of a description, noting every problem of a field; each setup that
// reads is then made on the library's setup, so that what the calibrator refuses or changes
// is a problem too.
std::vector<SetupDefinition> readSetups(Checker& check, const json& root, const LabSource& lab);

// Makes the setup with STAinit and the STA setters. Every refusal or warning of a setter, a
// name the calibrator does not know (with those it knows), and a scale end beyond what the
// function reaches (a pressure scale beyond the calibrator's pressure range and the module's)
// becomes a problem naming the field and what the calibrator does not allow.
void applySetup(const SetupDefinition& setup, std::vector<Problem>& problems);

// Makes the setup and saves it at the end of the procedure memory; returns the record's index.
// Throws naming every problem when the library refuses.
int32_t saveSetup(const SetupDefinition& setup);

}  // namespace kvtapp
