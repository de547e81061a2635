// The archive's cells that hold numbers and bytes, each with the values it may hold: every one
// the archive's code reads back goes through one of these, so that a value no kvtlnk wrote is
// refused by table, row and column before anything is allocated, indexed or computed from it.
#pragma once

#include <cstdint>
#include <limits>

#include "archive/database.h"
#include "common/memory.h"

namespace kvtarchive::fields {

constexpr double kUnbounded = std::numeric_limits<double>::infinity();
// Beyond every 64-bit number: a generated key or a count, which need only be positive.
constexpr double kAnyCount = 1e19;

// Places of a memory: as many items as a memory of the calibrator holds (each takes at least
// its 24-byte header).
constexpr double kLastIndex =
    kvttools::CalibratorMemory::kCapacity / kvttools::CalibratorMemory::kItemHeaderBytes - 1;
// Days since 1970-01-01: a stamp of the calibrator is dated 1992 to 2247 (2247-12-31 is day
// 101,536); 0 stands for a stamp that names no day.
constexpr double kLastDay = 101536;
// The longest calibration interval the tool sets: 100 years.
constexpr double kLongestInterval = 36500;

// Keys the archive generates.
constexpr Field kUploadId{"uploads", "id", "upload_id", "upload_id", 1, kAnyCount};
constexpr Field kInstrumentId{"instruments", "id", "id", "id", 1, kAnyCount};
constexpr Field kEventId{"events", "id", "event_id", "event_id", 1, kAnyCount};
constexpr Field kResultId{"results", "id", "result_id", "result_id", 1, kAnyCount};
constexpr Field kCertificateNumber{"certificates", "number", "number", "event_id", 1, kAnyCount};
// The same, as an insert gives back the row it made.
constexpr Field kNewUpload{"uploads", "id", "id", "id", 1, kAnyCount};
constexpr Field kNewEvent{"events", "id", "id", "id", 1, kAnyCount};
constexpr Field kNewResult{"results", "id", "id", "id", 1, kAnyCount};

constexpr Field kSchemaVersion{"schema_version", "version", "version", "version", 1, INT32_MAX};

constexpr Field kIntervalDays{"instruments",   "interval_days", "interval_days", "tag", 0,
                              kLongestInterval};
constexpr Field kEventCount{"events", "(count)", "events", "tag", 1, kAnyCount};
constexpr Field kEventDay{"events", "day", "day", "event_id", 0, kLastDay};
constexpr Field kEventCertificate{"certificates", "number", "certificate",
                                  "event_id",     1,        kAnyCount};
constexpr Field kAsFoundError{"events",   "as_found_error", "as_found_error",
                              "event_id", -kUnbounded,      kUnbounded};
constexpr Field kAsLeftError{"events",   "as_left_error", "as_left_error",
                             "event_id", -kUnbounded,     kUnbounded};
// The conditions a certificate may state, as the tool takes them.
constexpr Field kAmbientTemperature{
    "events", "ambient_temperature", "ambient_temperature", "event_id", -50, 100};
constexpr Field kHumidity{"events", "humidity", "humidity", "event_id", 0, 100};

constexpr Field kFlagged{"results", "as_left", "flagged", "result_id", 0, 1};
constexpr Field kResultCode{"results", "result_code", "result_code", "result_id", 0, UINT32_MAX};
// Not a number: the JSON text of what was decoded, read as a file's JSON is.
constexpr Field kDecoded{"results", "decoded", "decoded", "result_id", 0, 0};

constexpr Field kMemoryIndex{"result_records", "memory_index", "memory_index", "result_id", 0,
                             kLastIndex};
// The same place, as a result of an upload keeps it.
constexpr Field kResultIndex{"results", "memory_index", "memory_index", "result_id", 0, kLastIndex};
constexpr Field kKind{"records", "kind", "kind", "record_hash", 0, UINT16_MAX};
constexpr Field kVersion{"records", "version", "version", "record_hash", 0, UINT16_MAX};
constexpr Field kData{"records",     "data", "data",
                      "record_hash", 0,      kvttools::CalibratorMemory::kMaxItemBytes};

// Calibrations, and what version 3 keeps beside them.
constexpr Field kCalibrationId{"calibrations",   "id", "calibration_id",
                               "calibration_id", 1,    kAnyCount};
constexpr Field kNewCalibration{"calibrations", "id", "id", "id", 1, kAnyCount};
constexpr Field kCalibrationDay{"calibrations", "day", "day", "calibration_id", 0, kLastDay};
constexpr Field kClockSuspect{
    "calibrations", "clock_suspect", "clock_suspect", "calibration_id", 0, 1};
constexpr Field kDateImpossible{
    "calibrations", "date_impossible", "date_impossible", "calibration_id", 0, 1};
constexpr Field kCalibrationAsFoundError{"calibrations",   "as_found_error", "as_found_error",
                                         "calibration_id", -kUnbounded,      kUnbounded};
constexpr Field kCalibrationAsLeftError{"calibrations",   "as_left_error", "as_left_error",
                                        "calibration_id", -kUnbounded,     kUnbounded};
constexpr Field kCalibrationCertificate{"certificates",   "number", "certificate",
                                        "calibration_id", 1,        kAnyCount};
constexpr Field kCalibrationCount{"calibrations", "(count)", "calibrations", "tag", 0, kAnyCount};
constexpr Field kUndatedCount{"calibrations", "(count)", "undated", "tag", 0, kAnyCount};
constexpr Field kUntagged{"instruments", "untagged", "untagged", "tag", 0, 1};
constexpr Field kNewIdentity{"instrument_identities", "id", "id", "id", 1, kAnyCount};
// A result's row read by its own id.
constexpr Field kResultRowId{"results", "id", "id", "id", 1, kAnyCount};
constexpr Field kResultAsLeft{"results", "as_left", "as_left", "id", 0, 1};
constexpr Field kLargestError{"results", "largest_error", "largest_error",
                              "id",      -kUnbounded,     kUnbounded};
constexpr Field kCertified{"certificates", "(count)", "certified", "id", 0, kAnyCount};
constexpr Field kUploadRowId{"uploads", "id", "id", "id", 1, kAnyCount};
// Certificates as issued.
constexpr Field kIssuedNumber{"certificates", "number", "number", "number", 1, kAnyCount};
constexpr Field kHighestNumber{"certificates", "number", "n", "n", 0, kAnyCount};
constexpr Field kNextNumber{"certificate_numbers", "next", "next", "next", 1, kAnyCount};
constexpr Field kReplaces{"certificates", "replaces", "replaces", "number", 1, kAnyCount};
constexpr Field kReplacedBy{"certificates", "replaced_by", "replaced_by", "number", 1, kAnyCount};
constexpr Field kIssuedTemperature{
    "certificates", "ambient_temperature", "ambient_temperature", "number", -50, 100};
constexpr Field kIssuedHumidity{"certificates", "humidity", "humidity", "number", 0, 100};

// The audit trail's rows.
constexpr Field kAuditId{"audit", "id", "id", "id", 1, kAnyCount};
constexpr Field kAuditCount{"audit", "(count)", "n", "n", 0, kAnyCount};

}  // namespace kvtarchive::fields
