// The cable analysis as JSON, the document `mxrtool analyze` prints.
#pragma once

#include <string>

#include "analysis/thresholds.h"
#include "model/customerdb.h"

// History, phase balance, step tests, signs and judgment explanations of the cable, or of the
// one set when set is given; the document ends with a line break. UTF-8.
std::string CableAnalysisJson(const CCustomer& customer, const CCable& cable, const CMeasData* set,
                              const AnalysisThresholds& t);
