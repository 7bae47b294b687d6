// The analysis limits kept in system.ini, read and written beside the other installation values.
#pragma once

#include <string>

#include "analysis/thresholds.h"

// Reads the section [Analysis] of the system.ini at systemIniPath, each key with its default.
// Nothing is written: a system.ini shared with the older program keeps its bytes. The
// trigger-valid time comes from [Param] TriggValidSec (default 10), also without writing.
// Values that are not finite, or not positive where a positive number is needed, give the
// default.
AnalysisThresholds ReadAnalysisThresholds(const std::string& systemIniPath);

// Writes the limits that differ from their defaults or whose key is already present; a key
// that is missing and would be written with its default stays missing. False when the write
// failed.
bool WriteAnalysisThresholds(const std::string& systemIniPath, const AnalysisThresholds& t);
