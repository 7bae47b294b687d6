// CustomerTreeModel: the logic of the customer tree page, free of widgets. It keeps the selected
// rows of the three name lists and the measurement list, and carries out what the page's
// buttons, in-place edits and condition table do to the tree it works on.
// CustomerTreeModel was MstEditModel in the Windows program's sources.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "model/customerdb.h"
#include "ui/document/dataselection.h"
#include "ui/common/entryrules.h"
#include "widgets/conditiongrid.h"

class CAppSettings;

namespace customertree {

enum Level : int { LevelCustomer = 0, LevelCable = 1, LevelMeasData = 2 };

// The texts of one level: column title, name in messages, byte limit.
std::string ColumnTitle(const CAppSettings& s, int level); // "需要家名称", ...
std::string LevelName(const CAppSettings& s, int level);   // "需要家名", ...
int NameLimit(int level);                                  // 40, 26, 26

// Sheet title of a mode: "%sの表示", "%s情報の編集", "%sの転送".
std::string SheetTitle(const CAppSettings& s, PageMode mode);

// One row of the condition table.
struct ConditionRow {
    int id;
    std::string group, label, value; // CP932
    int editor;                      // ConditionGrid::Editor
    std::string choices;             // entries separated by '|'
};

using entry::NumberRange;
// The columns of the measurement list.
enum MeasColumn : int {
    MeasDateColumn = 0,
    MeasTimeColumn = 1,
    MeasFinalColumn = 2, // measuring time and final value: edited in the final value dialog
    MeasVoltageColumn = 3,
    MeasTriggerColumn = 4,
    MeasSeikyokuColumn = 5, // this and the next: edited in the judgment display dialog
    MeasJyakutenColumn = 6,
};

// Test voltage and trigger setting; nothing for the other columns.
std::optional<NumberRange> MeasCellRange(int column);
// The numeric condition rows (3, 4, 6, 7, 9 to 12); nothing for the others.
std::optional<NumberRange> ConditionRange(int rowId);

// Column count of the measurement list.
inline constexpr int kMeasColumns = MeasJyakutenColumn + 1;

} // namespace customertree

class CustomerTreeModel {
public:
    // The tree is not owned. In display mode nothing in it is ever changed.
    CustomerTreeModel(CCustomerDB& tree, PageMode mode, CAppSettings& settings);

    // Every change this model makes to the tree is a tree command (commands/treecommands.h);
    // the observer, when set, hears of each one.
    void SetObserver(cmd::ChangeObserver* observer) { m_observer = observer; }
    // The approved sets, which the commands refuse to change (not owned; may be unset). The
    // callback hears of each command refused for one, with the approved set.
    void SetLocks(const cmd::Locks* locks) { m_locks = locks; }
    void SetLockedCallback(std::function<void(const cmd::TreePath&)> callback)
    {
        m_onLocked = std::move(callback);
    }
    // The first approved set at or below entry `row` of the level (below the selected
    // parents), or nothing.
    std::optional<cmd::TreePath> LockedAt(int level, int row) const;
    // The approved set the selected set is, or nothing.
    std::optional<cmd::TreePath> SelectedSetLocked() const;
    // The names as the lists show them: an approved set's name with "（承認済）" after it.
    // Only for display: NameAt gives the name itself.
    std::string ListName(int level, int row) const;

    PageMode Mode() const { return m_mode; }
    bool Editable() const { return m_mode != PageMode::Display; }
    CCustomerDB& Tree() { return m_tree; }

    // Selected rows (-1: none). Setting a level selects row 0 of the level below (cascade);
    // a row outside the list selects row 0, or none when the list is empty.
    int Row(int level) const { return m_rows[level]; }
    int MeasRow() const { return m_measRow; }
    void SelectRow(int level, int row);
    void SelectMeasRow(int row);

    // Selects by the names of a selection (missing names fall back to row 0) and the
    // measurement at its index.
    void SelectByNames(const DataSelection& sel);
    // The selection the lists show now (index -1 when no measurement is selected).
    DataSelection CurrentSelection() const;

    // Row counts and cell texts (CP932) of the lists.
    int RowCount(int level) const;
    std::string NameAt(int level, int row) const;
    int MeasRowCount() const;
    std::string MeasCell(int row, int column) const;
    // The measurement at `row` in words for a question: "2024/05/12 09:30:00　Ｒ相　10.00 kV"
    // (the phase left out while the record has none); "" for no such row.
    std::string MeasSummary(int row) const;
    // "測定データ一覧：  【 customer－cable－set 】".
    std::string MeasCaption() const;

    // The selected set, or nullptr.
    CMeasData* SelectedSet();
    const CMeasData* SelectedSet() const;

    // Adds a name at the level (below the selected parent) and selects it. False when the
    // parent is missing or the name already exists (the name entry dialog checked this).
    bool Add(int level, const std::string& name);
    // Removes the selected entry of the level with everything below it; the same row stays
    // selected, or the one before when the last row went. False without a selection.
    bool Delete(int level);
    // What deleting the selected entry of the level takes with it (CP932), for the question
    // before the deletion: "ケーブル 3 件、測定データ 6 件、測定 18 件も削除されます"; "" when
    // nothing is below it.
    std::string DeleteContentsText(int level) const;
    // Removes the selected measurement and recomputes the ratios of the set; the same row
    // stays selected, or row 0.
    bool DeleteMeas();
    // Renames the entry at `row` of the level; the refusal message (CP932) when the name is
    // too long or a sibling has it, nothing on success.
    std::optional<std::string> Rename(int level, int row, const std::string& name);

    // In-place edit of measurement cell (row, column) with text. False when nothing changed
    // (column 2, a date or time that does not parse, a number outside MeasCellRange, the text
    // the cell shows already, no such row).
    bool EditMeasCell(int row, int column, const std::string& text);

    // The condition table: the 15 rows of the first measurement of the selected set, empty
    // when there is none.
    std::vector<customertree::ConditionRow> ConditionRows() const;
    // Row 1 to 12 edited: the first measurement takes the value, the default conditions take
    // the set's conditions, and the block goes into every measurement of the set. False, and
    // nothing changed, for a number outside ConditionRange or the text the row shows already.
    bool EditCondition(int rowId, const std::string& text);

    // The changes the page's dialogs decide on, for the selected set. Each is false (nothing
    // changed) in display mode or without such a set or row.
    // The final value dialog's points and final point for measurement `row`.
    bool ChooseFinalValue(int row, std::vector<CMeasPoint> points, int finalIndex);
    // The judgment display dialog's switches for measurement `row`.
    bool SetMeasDisplay(int row, int32_t showSeikyoku, int32_t showJyakuten);
    // The criteria dialog's OK, and its "過去データにも適応する".
    JudgParamChange ApplyCriteria(const JudgParams& params);
    bool ApplyDisplayToRecords(int32_t showSeikyoku, int32_t showJyakuten);
    // Received records into the selected set, all taking the condition block.
    bool RegisterReceived(const std::vector<CMeasRecord>& records, const CTestCondition& condition,
                          bool replaceExisting);

private:
    CCustomer* customer();
    CCable* cable();
    const CCustomer* customer() const;
    const CCable* cable() const;
    void cascadeFrom(int level);
    void storeDefaults(const CTestCondition& c);
    // The names of entry `row` of the level below the selected parents.
    cmd::TreePath pathAt(int level, int row) const;
    cmd::TreePath setPath() const { return pathAt(customertree::LevelMeasData, m_rows[2]); }
    cmd::Outcome run(const cmd::Command& command);

    CCustomerDB& m_tree;
    PageMode m_mode;
    CAppSettings& m_settings;
    int m_rows[3] = {-1, -1, -1};
    int m_measRow = -1;
    cmd::ChangeObserver* m_observer = nullptr;
    const cmd::Locks* m_locks = nullptr;
    std::function<void(const cmd::TreePath&)> m_onLocked;
};
