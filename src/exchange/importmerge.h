// The import merge: the checked part of an export file's tree merged into a copy of the
// document's tree, every name conflict decided through a question the UI answers.
#pragma once

#include <string>
#include <vector>

#include "exchange/exchangetree.h"
#include "model/customerdb.h"

// Asks the user about an imported customer, cable or measurement data set whose name already
// exists at the destination. The UI shows a Yes/No question; tests answer from a script.
class CImportQuestions {
public:
    virtual ~CImportQuestions() = default;
    // question: ImportConflictQuestion's text (CP932, lines ended by CR LF). True (Yes) merges
    // the imported entry into the existing one; false (No) ends the whole import.
    virtual bool ConfirmMerge(const std::string& question) = 0;
    // Asked before measurements are added straight into an existing set whose conditions
    // differ from theirs (ConditionChangeQuestion's text). True adds them with the set's
    // conditions; false ends the whole import.
    virtual bool ConfirmConditions(const std::string& question) = 0;
};

// The parts of a condition block, named as the condition table names its groups (CP932):
// "試験条件", "シールド漏れ電流", "判定基準", in that order.
enum ConditionPart { TestConditions = 1, ShieldCurrents = 2, Criteria = 4 };
// The parts in which any record of `imported` differs from `kept` (a mask of ConditionPart).
int ConditionDifferences(const CTestCondition& kept, const std::vector<CMeasRecord>& imported);
// "試験条件、判定基準" for a mask; empty for 0.
std::string ConditionPartNames(int parts);
// The note added to a set's conflict question when its imported records take other
// conditions; empty for 0.
std::string ConditionChangeNote(int parts);
// The question before measurements go into the existing set `setName` whose conditions differ.
std::string ConditionChangeQuestion(const std::string& setName, int parts);

// "取り込む「%s」名称は既に存在しています…" with the level title and the imported name.
std::string ImportConflictQuestion(const std::string& levelTitle, const std::string& name);

enum class ImportStatus {
    Done,           // merged holds the document's tree with the import
    NothingChecked, // the import tree holds nothing at the file node's level
    NoDestination,  // no destination node
    WrongLevel,     // the destination is not at the file node's level (or no longer exists)
    Declined,       // the user answered No to a question
};

struct ImportResult {
    ImportStatus status = ImportStatus::NothingChecked;
    // With Done: a copy of the document's tree (its serial-link settings unchanged) holding
    // the merged import. Otherwise empty: nothing of the import may reach the document.
    CCustomerDB merged;
};

// Merges the children of importTree's path at fileLevel (customers for the root, the cables
// of its one customer for a customer, and so on down to the measurements of its one set) into
// the destination node of a copy of document; destination must have the level fileLevel.
// A child whose name is new is added whole; for an existing name the user is asked, and Yes
// merges its children into the existing entry (measurements are inserted by test voltage,
// with no duplicate check). Collections are visited in their sorted order.
//
// Measurements added to a set that already holds records take that set's condition block:
// every record of a set shares the conditions of its first record (the store's reader makes
// them so), and an added record with a lower voltage would otherwise become the first and
// hand its conditions to the existing records at the next load. The user is told before
// that happens: the set's conflict question carries ConditionChangeNote, and measurements
// imported straight into a set are preceded by ConfirmConditions.
ImportResult MergeImport(const CCustomerDB& document, const ExchangeNode& destination,
                         const CCustomerDB& importTree, int fileLevel, const LevelTitles& titles,
                         CImportQuestions& questions);
