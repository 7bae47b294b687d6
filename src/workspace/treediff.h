// What a change did to the tree, in the journal's terms: the items (names and records) that
// differ between the tree before and after it, each with its values before and after.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "model/customerdb.h"
#include "workspace/journalentry.h"

namespace ws {

// The record's content key (recordcodec::ContentKey) as 64 hex digits.
std::string KeyText(const CMeasRecord& record);
// The hash of everything the record holds (its stored encoding).
uint64_t StateHash(const CMeasRecord& record);

// The values of two states of one record that differ, labelled for the user: the start time,
// test voltage, data number, each condition field (by its condition table label), the display
// switches, the final value, the ratios, the trigger events and the points (one line telling
// how many differ).
std::vector<FieldChange> CompareRecords(const CMeasRecord& before, const CMeasRecord& after);

// The items that differ between before and after. With changes, only the entries the changes
// name are compared (renames pair an old name with its new one); without, the whole trees.
std::vector<JournalItem> DiffTrees(const CCustomerDB& before, const CCustomerDB& after,
                                   const std::vector<cmd::Change>& changes = {});

// The step's name for the user (UTF-8) after the commands of one action: "測定データ 3 件の登録",
// "名前の変更: 顧客A → 顧客B", "測定条件の変更" ...; several commands of one sheet give the first
// one's name and "ほか N 件".
std::string StepName(const std::vector<cmd::Change>& changes);

// The journal entry of one action: its command (the first change's kind), step name, actor,
// time and items.
JournalEntry MakeEntry(const CCustomerDB& before, const CCustomerDB& after,
                       const std::vector<cmd::Change>& changes, const Actor& actor,
                       int64_t now);

} // namespace ws
