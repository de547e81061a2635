// Field runs of the emulator for the tests of the archive and of certificates: tests sent,
// performed on a given day and uploaded into an image file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "calibrator.h"
#include "cli_support.h"

// Two instruments: PT-1 tested as found and, flagged, as left; TT-2 as found only.
extern const char* const kFieldTests;

kvttools::DateStamp stampOn(int year, int month, int day);
std::string readText(const std::string& path);

// The emulator's field run of the tests with this seed on this day, uploaded into an image
// file of the scratch directory; alter, when given, changes the emulator's memories first.
std::string fieldImage(const ScratchDir& dir, uint32_t seed, kvttools::DateStamp day,
                       const std::string& serial = "SN1",
                       const std::function<void(k27emu::Calibrator&)>& alter = {});
