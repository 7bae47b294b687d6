// A small generated fleet with known answers for the plan and score tests.
#pragma once

#include <filesystem>
#include <string>
#include <unistd.h>

#include "fleet/fleetplan.h"
#include "model/cp932text.h"
#include "samplerecords.h"

namespace fleettest {

// A record of phase cabKind at kV with a flat current of finalValue μA for ten minutes, started
// on date ("2024/01/31"). The criteria put 良 at or below 50 μA, 注意 below 100, 不良 above.
inline CMeasRecord record(const char* date, double kV, double finalValue,
                          int32_t cabKind = CabKindThreePhase)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.TriggerLevel = 1000;
    r.Condition.CabKind = cabKind;
    r.Condition.LastCurrentMin = 50;
    r.Condition.LastCurrentMax = 100;
    r.ShowSeikyoku = 0;
    r.ShowJyakuten = 0;
    sample::addPoints(r, 60, [&](int) { return finalValue; });
    r.RecalcFinalAndTriggers(-1, 10);
    r.StartTime = *OleDateTime::parse(std::string(date) + " 10:00:00");
    return r;
}

inline void add(CCustomerDB& db, const char* customer, const char* cable, const char* set,
                const CMeasRecord& r)
{
    sample::setAt(db, customer, cable, set).InsertRecord(r);
}

inline fleet::Day day(const char* text)
{
    return *fleet::ParseDay(text);
}

// A temporary folder removed at the end of the scope.
struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        path = std::filesystem::temp_directory_path() /
               ("mxr-fleet-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(path);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    static int& counter()
    {
        static int n = 0;
        return n;
    }
};

} // namespace fleettest
