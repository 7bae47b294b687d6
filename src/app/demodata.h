// Demo mode's data: a sample store made from the tester emulator's records, the dump its pty
// sends, and the temporary application folder that points the selected port at that pty.
#pragma once

#include <string>

#include "link/emulator.h"
#include "model/customerdb.h"

namespace demo {

// Several customers with cables inspected over several years; every inspection is a step test
// per phase (R, S, T), with good, doubtful and bad cables and kicks above the trigger setting.
// One more cable is tested every year over ten years with a slowly worsening trend: one phase
// runs away (unbalanced), its last step test has a knee, and one long record creeps upwards.
// Deterministic: the same tree on every call.
CCustomerDB BuildStore();

// What the demo's tester sends at every opening of its port: a step test of a sound cable
// measured the afternoon before `today`, the records in order.
EmulatorOptions DumpOptions(const CalendarTime& today);
// The same for the local date of now.
EmulatorOptions DumpOptions();

// Prepares folder as an application folder for demo mode: creates it, writes the sample store
// to DATA/MXR.DAT unless a store is already there (a kept demo folder keeps its data), and
// maps the store's selected port to devicePath in the "Ports" section of <baseName>.INI.
// False with a message (UTF-8) when the folder or a file cannot be written.
bool PrepareFolder(const std::string& folder, const std::string& baseName,
                   const std::string& devicePath, std::string& error);

} // namespace demo
