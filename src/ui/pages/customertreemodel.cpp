// The logic of the customer tree page: selection cascade, add, delete, rename, measurement
// cell edits and the condition table.
#include "ui/pages/customertreemodel.h"

#include "settings/appsettings.h"
#include "model/conditionfields.h"
#include "model/cp932text.h"
#include "model/format.h"
#include "model/number.h"
#include "ui/common/entryrules.h"

using cp932::lit;

namespace customertree {

std::string ColumnTitle(const CAppSettings& s, int level)
{
    switch (level) {
    case LevelCustomer: return s.CustomerLabel(lit("需要家名称"));
    case LevelCable: return s.CableLabel(lit("ケーブル名称"));
    default: return s.MeasurementLabel(lit("測定データ名称"));
    }
}

std::string LevelName(const CAppSettings& s, int level)
{
    switch (level) {
    case LevelCustomer: return s.CustomerLabel(lit("需要家名"));
    case LevelCable: return s.CableLabel(lit("ケーブル名"));
    default: return s.MeasurementLabel(lit("測定データ名"));
    }
}

int NameLimit(int level)
{
    return cmd::NameLimit(static_cast<cmd::Level>(level));
}

std::string SheetTitle(const CAppSettings& s, PageMode mode)
{
    switch (mode) {
    case PageMode::Edit: return s.CustomerLabel(lit("需要家")) + lit("情報の編集");
    case PageMode::Transfer: return s.MeasurementLabel(lit("測定データ")) + lit("の転送");
    default: return s.MeasurementLabel(lit("測定データ")) + lit("の表示");
    }
}

std::optional<NumberRange> MeasCellRange(int column)
{
    // The tester sends both as four BCD digits: hundredths of a kV and tenths of a μA; the
    // list shows them so.
    switch (column) {
    case MeasVoltageColumn: return NumberRange{0.0, 99.99, false, 2};
    case MeasTriggerColumn: return NumberRange{0.0, 999.9, false, 1};
    default: return std::nullopt;
    }
}

std::optional<NumberRange> ConditionRange(int rowId)
{
    const condfields::ConditionField* f = condfields::FieldOfRow(condfields::RowFromId(rowId));
    if (!f || !f->range)
        return std::nullopt;
    const condfields::FieldRange& r = *f->range;
    return NumberRange{r.min, r.max, r.optional, r.decimals, r.maxChars};
}

} // namespace customertree

using namespace customertree;

CustomerTreeModel::CustomerTreeModel(CCustomerDB& tree, PageMode mode, CAppSettings& settings)
    : m_tree(tree), m_mode(mode), m_settings(settings)
{
    SelectRow(LevelCustomer, 0);
}

CCustomer* CustomerTreeModel::customer()
{
    return m_rows[0] >= 0 ? &m_tree.customers.At(m_rows[0]) : nullptr;
}
const CCustomer* CustomerTreeModel::customer() const
{
    return m_rows[0] >= 0 ? &m_tree.customers.At(m_rows[0]) : nullptr;
}
CCable* CustomerTreeModel::cable()
{
    CCustomer* c = customer();
    return c && m_rows[1] >= 0 ? &c->cables.At(m_rows[1]) : nullptr;
}
const CCable* CustomerTreeModel::cable() const
{
    const CCustomer* c = customer();
    return c && m_rows[1] >= 0 ? &c->cables.At(m_rows[1]) : nullptr;
}
CMeasData* CustomerTreeModel::SelectedSet()
{
    CCable* k = cable();
    return k && m_rows[2] >= 0 ? &k->sets.At(m_rows[2]) : nullptr;
}
const CMeasData* CustomerTreeModel::SelectedSet() const
{
    const CCable* k = cable();
    return k && m_rows[2] >= 0 ? &k->sets.At(m_rows[2]) : nullptr;
}

int CustomerTreeModel::RowCount(int level) const
{
    switch (level) {
    case LevelCustomer: return m_tree.customers.Count();
    case LevelCable: return customer() ? customer()->cables.Count() : 0;
    default: return cable() ? cable()->sets.Count() : 0;
    }
}

std::string CustomerTreeModel::NameAt(int level, int row) const
{
    if (row < 0 || row >= RowCount(level))
        return {};
    switch (level) {
    case LevelCustomer: return m_tree.customers.At(row).name;
    case LevelCable: return customer()->cables.At(row).name;
    default: return cable()->sets.At(row).name;
    }
}

void CustomerTreeModel::SelectRow(int level, int row)
{
    const int n = RowCount(level);
    m_rows[level] = n == 0 ? -1 : (row >= 0 && row < n ? row : 0);
    cascadeFrom(level + 1);
}

void CustomerTreeModel::cascadeFrom(int level)
{
    if (level <= LevelMeasData) {
        SelectRow(level, 0);
        return;
    }
    SelectMeasRow(0);
}

int CustomerTreeModel::MeasRowCount() const
{
    const CMeasData* set = SelectedSet();
    return set ? static_cast<int>(set->RecordCount()) : 0;
}

void CustomerTreeModel::SelectMeasRow(int row)
{
    const int n = MeasRowCount();
    m_measRow = n == 0 ? -1 : (row >= 0 && row < n ? row : 0);
}

void CustomerTreeModel::SelectByNames(const DataSelection& sel)
{
    const std::string* names[3] = {&sel.customer, &sel.cable, &sel.measData};
    bool missing = false;
    for (int level = 0; level < 3; ++level) {
        int row = -1;
        if (!missing) {
            switch (level) {
            case LevelCustomer: row = m_tree.customers.Find(*names[level]); break;
            case LevelCable: row = customer() ? customer()->cables.Find(*names[level]) : -1; break;
            default: row = cable() ? cable()->sets.Find(*names[level]) : -1; break;
            }
        }
        if (row < 0)
            missing = true; // the names below and the index no longer apply
        SelectRow(level, row < 0 ? 0 : row);
        if (m_rows[level] < 0)
            return;
    }
    SelectMeasRow(missing ? 0 : sel.index);
}

DataSelection CustomerTreeModel::CurrentSelection() const
{
    DataSelection sel;
    sel.customer = NameAt(LevelCustomer, m_rows[0]);
    sel.cable = NameAt(LevelCable, m_rows[1]);
    sel.measData = NameAt(LevelMeasData, m_rows[2]);
    sel.index = m_measRow;
    return sel;
}

std::string CustomerTreeModel::MeasCell(int row, int column) const
{
    const CMeasData* set = SelectedSet();
    if (!set || row < 0 || row >= MeasRowCount())
        return {};
    const CMeasRecord& r = set->RecordAt(static_cast<std::size_t>(row));
    switch (column) {
    case MeasDateColumn: return mxrfmt::StartDateText(r);
    case MeasTimeColumn: return mxrfmt::StartClockText(r);
    case MeasFinalColumn:
        return mxrfmt::MeasuringTimeText(r) + lit("，") + mxrfmt::LastCurrentJudgedText(r);
    case MeasVoltageColumn: return mxrfmt::TestVoltageText(r);
    case MeasTriggerColumn: return mxrfmt::TriggerLevelText(r);
    case MeasSeikyokuColumn: return mxrfmt::SeikyokuJudgedText(r);
    case MeasJyakutenColumn: return mxrfmt::JyakutenJudgedText(r);
    default: return {};
    }
}

std::string CustomerTreeModel::MeasSummary(int row) const
{
    const CMeasData* set = SelectedSet();
    if (!set || row < 0 || row >= MeasRowCount())
        return {};
    const CMeasRecord& r = set->RecordAt(static_cast<std::size_t>(row));
    const std::string gap = lit("　");
    std::string text = mxrfmt::StartDateText(r) + " " + mxrfmt::StartClockText(r);
    if (r.Condition.CabKind >= CabKindThreePhase && r.Condition.CabKind <= CabKindT)
        text += gap + CabKindText(r.Condition.CabKind);
    return text + gap + mxrfmt::TestVoltageText(r) + " kV";
}

std::string CustomerTreeModel::MeasCaption() const
{
    std::string text = m_settings.MeasurementLabel(lit("測定データ")) + lit("一覧：  ");
    if (m_rows[0] < 0)
        return text;
    text += lit("【 ") + NameAt(LevelCustomer, m_rows[0]);
    if (m_rows[1] >= 0)
        text += lit("－") + NameAt(LevelCable, m_rows[1]);
    if (m_rows[2] >= 0)
        text += lit("－") + NameAt(LevelMeasData, m_rows[2]);
    return text + lit(" 】");
}

cmd::TreePath CustomerTreeModel::pathAt(int level, int row) const
{
    cmd::TreePath path;
    path.customer = NameAt(LevelCustomer, level == LevelCustomer ? row : m_rows[0]);
    if (level >= LevelCable)
        path.cable = NameAt(LevelCable, level == LevelCable ? row : m_rows[1]);
    if (level >= LevelMeasData)
        path.set = NameAt(LevelMeasData, row);
    return path;
}

cmd::Outcome CustomerTreeModel::run(const cmd::Command& command)
{
    const cmd::Outcome out = cmd::Run(m_tree, command, m_observer, m_locks);
    if (out.status == cmd::Status::Approved && m_onLocked)
        m_onLocked(out.locked);
    return out;
}

std::optional<cmd::TreePath> CustomerTreeModel::LockedAt(int level, int row) const
{
    if (!m_locks || row < 0 || row >= RowCount(level))
        return std::nullopt;
    const cmd::TreePath at = pathAt(level, row);
    auto lockedIn = [this](const CCable& cable, cmd::TreePath p) -> std::optional<cmd::TreePath> {
        for (int s = 0; s < cable.sets.Count(); ++s) {
            p.set = cable.sets.At(s).name;
            if (m_locks->IsLocked(p))
                return p;
        }
        return std::nullopt;
    };
    if (level == LevelMeasData)
        return m_locks->IsLocked(at) ? std::optional<cmd::TreePath>(at) : std::nullopt;
    const CCustomer* c = level == LevelCustomer ? &m_tree.customers.At(row) : customer();
    if (!c)
        return std::nullopt;
    if (level == LevelCable)
        return lockedIn(c->cables.At(row), at);
    for (int k = 0; k < c->cables.Count(); ++k) {
        cmd::TreePath p = at;
        p.cable = c->cables.At(k).name;
        if (auto found = lockedIn(c->cables.At(k), p))
            return found;
    }
    return std::nullopt;
}

std::optional<cmd::TreePath> CustomerTreeModel::SelectedSetLocked() const
{
    return LockedAt(LevelMeasData, m_rows[2]);
}

std::string CustomerTreeModel::ListName(int level, int row) const
{
    std::string name = NameAt(level, row);
    if (level == LevelMeasData && LockedAt(level, row))
        name += lit("（承認済）");
    return name;
}

bool CustomerTreeModel::Add(int level, const std::string& name)
{
    if (!Editable() || (level > LevelCustomer && m_rows[level - 1] < 0))
        return false;
    cmd::TreePath parent = pathAt(level, -1);
    const cmd::Outcome out = run(cmd::AddName{static_cast<cmd::Level>(level), parent, name});
    if (!out.done())
        return false;
    SelectRow(level, out.position);
    return true;
}

bool CustomerTreeModel::Delete(int level)
{
    const int row = m_rows[level];
    if (!Editable() || row < 0)
        return false;
    if (!run(cmd::RemoveName{static_cast<cmd::Level>(level), pathAt(level, row)}).done())
        return false;
    const int n = RowCount(level);
    SelectRow(level, row < n ? row : n - 1);
    return true;
}

std::string CustomerTreeModel::DeleteContentsText(int level) const
{
    std::size_t cables = 0, sets = 0, records = 0;
    auto countSet = [&](const CMeasData& set) {
        ++sets;
        records += set.RecordCount();
    };
    auto countCable = [&](const CCable& cable) {
        ++cables;
        for (int i = 0; i < cable.sets.Count(); ++i)
            countSet(cable.sets.At(i));
    };
    switch (level) {
    case LevelCustomer:
        if (const CCustomer* c = customer())
            for (int i = 0; i < c->cables.Count(); ++i)
                countCable(c->cables.At(i));
        break;
    case LevelCable:
        if (const CCable* k = cable())
            for (int i = 0; i < k->sets.Count(); ++i)
                countSet(k->sets.At(i));
        break;
    default:
        if (const CMeasData* set = SelectedSet())
            records = set->RecordCount();
        break;
    }
    // Only the levels below the deleted one are named.
    std::vector<std::string> parts;
    if (level == LevelCustomer)
        parts.push_back(formatC("%s %zu %s", m_settings.CableLabel(lit("ケーブル")).c_str(), cables,
                                lit("件").c_str()));
    if (level <= LevelCable)
        parts.push_back(formatC("%s %zu %s", m_settings.MeasurementLabel(lit("測定データ")).c_str(),
                                sets, lit("件").c_str()));
    parts.push_back(formatC("%s %zu %s", lit("測定").c_str(), records, lit("件").c_str()));
    if (cables + sets + records == 0)
        return {};
    std::string text;
    for (const std::string& p : parts)
        text += (text.empty() ? "" : lit("、")) + p;
    return text + lit("も削除されます");
}

bool CustomerTreeModel::DeleteMeas()
{
    if (!Editable() || !SelectedSet() || m_measRow < 0)
        return false;
    const int row = m_measRow;
    if (!run(cmd::RemoveMeasurement{setPath(), static_cast<std::size_t>(row)}).done())
        return false;
    SelectMeasRow(row);
    return true;
}

std::optional<std::string> CustomerTreeModel::Rename(int level, int row, const std::string& name)
{
    if (!Editable() || row < 0 || row >= RowCount(level))
        return std::string();
    const cmd::Outcome out =
        run(cmd::RenameName{static_cast<cmd::Level>(level), pathAt(level, row), name});
    switch (out.status) {
    case cmd::Status::NameTooLong: {
        const int limit = NameLimit(level);
        return formatC(lit("指定の%sは全角%d（半角%d）文字以内です").c_str(),
                       LevelName(m_settings, level).c_str(), limit / 2, limit);
    }
    case cmd::Status::NameExists:
        return formatC(lit("指定の%sは既に存在しています\n%s").c_str(),
                       ColumnTitle(m_settings, level).c_str(), name.c_str());
    case cmd::Status::Done:
    case cmd::Status::Unchanged: break;
    default: return std::string();
    }
    const int at = out.position;
    if (at != row || m_rows[level] != row) {
        // The entry moved: keep the lower selections when it was the selected one.
        if (m_rows[level] == row) {
            m_rows[level] = at;
        } else {
            SelectRow(level, at);
        }
    }
    return std::nullopt;
}

bool CustomerTreeModel::EditMeasCell(int row, int column, const std::string& text)
{
    CMeasData* set = SelectedSet();
    if (!Editable() || !set || row < 0 || row >= MeasRowCount())
        return false;
    const std::size_t index = static_cast<std::size_t>(row);
    CMeasRecord copy = set->RecordAt(index);
    switch (column) {
    case MeasDateColumn:
    case MeasTimeColumn:
        if (column == MeasDateColumn)
            mxrfmt::SetStartDateFromText(copy, text);
        else
            mxrfmt::SetStartClockFromText(copy, text);
        // A text that is no date or time keeps the stored one rather than losing it.
        if (copy.StartTime.status != OleDateTime::Valid)
            return false;
        break;
    case MeasVoltageColumn:
    case MeasTriggerColumn: {
        // The text the cell shows is a rounded form: taking it back would change the value.
        if (text == MeasCell(row, column))
            return false;
        const std::optional<double> v = entry::readInRange(*MeasCellRange(column), text);
        if (!v)
            return false;
        if (column == MeasVoltageColumn) {
            copy.TestVoltage = *v;
            break;
        }
        copy.TriggerLevel = *v;
        // The chosen final point stays; only the trigger events follow the new setting.
        copy.RecalcFinalAndTriggers(copy.UsedPoints, m_settings.TriggValidSec);
        break;
    }
    case MeasSeikyokuColumn: copy.SeikyokuRatio = optionalNumber(text); break;
    case MeasJyakutenColumn: copy.JyakutenRatio = optionalNumber(text); break;
    default: return false;
    }
    static constexpr cmd::MeasField fields[] = {
        cmd::MeasField::Date,         cmd::MeasField::Time,          cmd::MeasField::Date,
        cmd::MeasField::TestVoltage,  cmd::MeasField::TriggerLevel,  cmd::MeasField::SeikyokuRatio,
        cmd::MeasField::JyakutenRatio};
    const bool moves = copy.TestVoltage != set->RecordAt(index).TestVoltage;
    const cmd::Outcome out =
        run(cmd::EditMeasurement{setPath(), index, fields[column], std::move(copy)});
    if (!out.done())
        return false;
    if (moves)
        SelectMeasRow(out.position);
    return true;
}

namespace {

// The table's editor code of a field's editor.
int editorCode(condfields::Editor e)
{
    switch (e) {
    case condfields::Editor::CodeChoice: return ConditionGrid::FixedChoice;
    case condfields::Editor::TextChoice: return ConditionGrid::OpenChoice;
    case condfields::Editor::Criterion: return ConditionGrid::ButtonEditor;
    default: return ConditionGrid::TextEditor;
    }
}

} // namespace

std::vector<ConditionRow> CustomerTreeModel::ConditionRows() const
{
    std::vector<ConditionRow> rows;
    const CMeasData* set = SelectedSet();
    if (!set || set->RecordCount() == 0)
        return rows;
    const CTestCondition& c = set->RecordAt(0).Condition;
    for (int id = 1; id <= condfields::kRowCount; ++id) {
        const condfields::ConditionField& f =
            *condfields::FieldOfRow(static_cast<condfields::Row>(id));
        rows.push_back({id, condfields::GroupLabel(f.group), lit(f.label), f.show(c),
                        Editable() ? editorCode(f.editor) : ConditionGrid::NoEditor, condfields::Choices(f)});
    }
    return rows;
}

bool CustomerTreeModel::EditCondition(int rowId, const std::string& text)
{
    CMeasData* set = SelectedSet();
    const condfields::ConditionField* field = condfields::FieldOfRow(condfields::RowFromId(rowId));
    if (!Editable() || !set || set->RecordCount() == 0 || !field ||
        field->editor == condfields::Editor::Criterion)
        return false;
    // An editor left as it opened changes nothing: the shown text is a rounded form.
    const CTestCondition& shown = set->RecordAt(0).Condition;
    if (text == field->show(shown))
        return false;
    std::optional<double> number;
    if (const auto range = ConditionRange(rowId)) {
        number = entry::readInRange(*range, text);
        if (!number)
            return false;
    }
    CTestCondition c = shown;
    condfields::Store(*field, c, text, number);
    storeDefaults(c);
    return run(cmd::EditCondition{setPath(), rowId, c}).done();
}

bool CustomerTreeModel::ChooseFinalValue(int row, std::vector<CMeasPoint> points, int finalIndex)
{
    if (!Editable() || !SelectedSet() || row < 0)
        return false;
    return run(cmd::ChooseFinalValue{setPath(), static_cast<std::size_t>(row), std::move(points),
                                     finalIndex, m_settings.TriggValidSec})
        .done();
}

bool CustomerTreeModel::SetMeasDisplay(int row, int32_t showSeikyoku, int32_t showJyakuten)
{
    if (!Editable() || !SelectedSet() || row < 0)
        return false;
    return run(cmd::SetMeasurementDisplay{setPath(), static_cast<std::size_t>(row), showSeikyoku,
                                          showJyakuten, m_settings.TriggValidSec})
        .done();
}

JudgParamChange CustomerTreeModel::ApplyCriteria(const JudgParams& params)
{
    if (!Editable() || !SelectedSet())
        return {};
    return run(cmd::SetCriteria{setPath(), params}).criteria;
}

bool CustomerTreeModel::ApplyDisplayToRecords(int32_t showSeikyoku, int32_t showJyakuten)
{
    if (!Editable() || !SelectedSet())
        return false;
    return run(cmd::ApplyDisplayToRecords{setPath(), showSeikyoku, showJyakuten}).done();
}

bool CustomerTreeModel::RegisterReceived(const std::vector<CMeasRecord>& records,
                                    const CTestCondition& condition, bool replaceExisting)
{
    if (!Editable() || !SelectedSet())
        return false;
    return run(cmd::RegisterReceived{setPath(), records, condition, replaceExisting}).done();
}

void CustomerTreeModel::storeDefaults(const CTestCondition& c)
{
    using mxrfmt::NumberText;
    DefaultConditionTexts d;
    d.CabKind = mxrfmt::ConditionText(c);
    d.Shindan = c.Shindan;
    d.CurrentR = NumberText(c.CurrentR);
    d.CurrentS = NumberText(c.CurrentS);
    d.CurrentT = NumberText(c.CurrentT);
    d.ShisuZetuen = mxrfmt::InsulationText(c.ShisuZetuen);
    d.CabSectionalArea = NumberText(c.CabSectionalArea);
    d.CabLength = NumberText(c.CabLength);
    d.SeikyokuMin = NumberText(c.SeikyokuMin);
    d.SeikyokuMax = NumberText(c.SeikyokuMax);
    d.JyakutenMin = NumberText(c.JyakutenMin);
    d.JyakutenMax = NumberText(c.JyakutenMax);
    d.LastCurrentMin = NumberText(c.LastCurrentMin);
    d.LastCurrentMax = NumberText(c.LastCurrentMax);
    m_settings.SetDefaultConditions(d);
}
