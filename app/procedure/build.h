// Turning a checked procedure description into the library's procedure memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "procedure/description.h"

namespace kvtapp {

// Reads, checks and returns the description in path. Throws an input error listing every
// problem ("FILE: tasks[0].name: ...", one per line) when the file is not usable. lab gives the
// lab file when a setup names a pressure module.
Procedure loadProcedure(const std::string& path, const LabSource& lab = {});
// The same, of the document read from path.
Procedure checkedProcedure(const std::string& path, const json& root, const LabSource& lab = {});

// Empties the library's image and builds the procedure in it with the MEM definition calls:
// the standard strategies, then the file's strategies, prompt definitions and tasks in file
// order, each task after the setups its tests use (made with the STA setters, saved with
// STAsave). Throws naming the field when the library refuses a call. Returns the bytes each
// record takes in the image (MEMused), in record order, for the download's progress.
std::vector<uint32_t> buildImage(const Procedure& procedure);

// Refuses (an input Error) the library's procedure memory when it takes more bytes than the
// calibrator's memory holds (0: not known): a download that runs out of room stops half-way
// and leaves a partial procedure behind. file names the description.
void checkCapacity(const std::string& file, uint32_t capacity);

// Adds to sizes the records made in the procedure memory since it was last brought up to date,
// in equal shares of what the image grew by.
void countNewRecords(std::vector<uint32_t>& sizes);

}  // namespace kvtapp
