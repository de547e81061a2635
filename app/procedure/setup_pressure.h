// What a pressure side of a setup reaches: the pressure range the calibrator has without a
// module, or the span of the lab file's pressure module the side names.
#pragma once

#include <string>

#include "procedure/setup_description.h"

namespace kvtapp {

// How far the calibrator's pressure range reaches in these units ("" for psi).
float pressureReach(const std::string& units);

// Reads the "module" of a side: the serial number of one of the lab file's pressure modules,
// whose span becomes the side's moduleSpan.
void readModule(Checker& check, const json& side, const LabSource& lab, SideDefinition& definition);

}  // namespace kvtapp
