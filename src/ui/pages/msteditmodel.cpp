// The logic of the customer tree page: selection cascade, add, delete, rename, measurement
// cell edits and the condition table.
#include "ui/pages/msteditmodel.h"

#include "settings/appsettings.h"
#include "model/conditionfields.h"
#include "model/cp932text.h"
#include "model/format.h"
#include "model/number.h"
#include "ui/common/entryrules.h"

using cp932::lit;

namespace mstedit {

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
    return level == LevelCustomer ? 40 : 26;
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
    case 3: return NumberRange{0.0, 99.99, false, 2};
    case 4: return NumberRange{0.0, 999.9, false, 1};
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

} // namespace mstedit

using namespace mstedit;

MstEditModel::MstEditModel(CCustomerDB& tree, PageMode mode, CAppSettings& settings)
    : m_tree(tree), m_mode(mode), m_settings(settings)
{
    SelectRow(LevelCustomer, 0);
}

CCustomer* MstEditModel::customer()
{
    return m_rows[0] >= 0 ? &m_tree.customers.At(m_rows[0]) : nullptr;
}
const CCustomer* MstEditModel::customer() const
{
    return m_rows[0] >= 0 ? &m_tree.customers.At(m_rows[0]) : nullptr;
}
CCable* MstEditModel::cable()
{
    CCustomer* c = customer();
    return c && m_rows[1] >= 0 ? &c->cables.At(m_rows[1]) : nullptr;
}
const CCable* MstEditModel::cable() const
{
    const CCustomer* c = customer();
    return c && m_rows[1] >= 0 ? &c->cables.At(m_rows[1]) : nullptr;
}
CMeasData* MstEditModel::SelectedSet()
{
    CCable* k = cable();
    return k && m_rows[2] >= 0 ? &k->sets.At(m_rows[2]) : nullptr;
}
const CMeasData* MstEditModel::SelectedSet() const
{
    const CCable* k = cable();
    return k && m_rows[2] >= 0 ? &k->sets.At(m_rows[2]) : nullptr;
}

int MstEditModel::RowCount(int level) const
{
    switch (level) {
    case LevelCustomer: return m_tree.customers.Count();
    case LevelCable: return customer() ? customer()->cables.Count() : 0;
    default: return cable() ? cable()->sets.Count() : 0;
    }
}

std::string MstEditModel::NameAt(int level, int row) const
{
    if (row < 0 || row >= RowCount(level))
        return {};
    switch (level) {
    case LevelCustomer: return m_tree.customers.At(row).name;
    case LevelCable: return customer()->cables.At(row).name;
    default: return cable()->sets.At(row).name;
    }
}

void MstEditModel::SelectRow(int level, int row)
{
    const int n = RowCount(level);
    m_rows[level] = n == 0 ? -1 : (row >= 0 && row < n ? row : 0);
    cascadeFrom(level + 1);
}

void MstEditModel::cascadeFrom(int level)
{
    if (level <= LevelMeasData) {
        SelectRow(level, 0);
        return;
    }
    SelectMeasRow(0);
}

int MstEditModel::MeasRowCount() const
{
    const CMeasData* set = SelectedSet();
    return set ? static_cast<int>(set->RecordCount()) : 0;
}

void MstEditModel::SelectMeasRow(int row)
{
    const int n = MeasRowCount();
    m_measRow = n == 0 ? -1 : (row >= 0 && row < n ? row : 0);
}

void MstEditModel::SelectByNames(const DataSelection& sel)
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

DataSelection MstEditModel::CurrentSelection() const
{
    DataSelection sel;
    sel.customer = NameAt(LevelCustomer, m_rows[0]);
    sel.cable = NameAt(LevelCable, m_rows[1]);
    sel.measData = NameAt(LevelMeasData, m_rows[2]);
    sel.index = m_measRow;
    return sel;
}

std::string MstEditModel::MeasCell(int row, int column) const
{
    const CMeasData* set = SelectedSet();
    if (!set || row < 0 || row >= MeasRowCount())
        return {};
    const CMeasRecord& r = set->RecordAt(static_cast<std::size_t>(row));
    switch (column) {
    case 0: return mxrfmt::StartDateText(r);
    case 1: return mxrfmt::StartClockText(r);
    case 2: return mxrfmt::MeasuringTimeText(r) + lit("，") + mxrfmt::LastCurrentJudgedText(r);
    case 3: return mxrfmt::TestVoltageText(r);
    case 4: return mxrfmt::TriggerLevelText(r);
    case 5: return mxrfmt::SeikyokuJudgedText(r);
    case 6: return mxrfmt::JyakutenJudgedText(r);
    default: return {};
    }
}

std::string MstEditModel::MeasSummary(int row) const
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

std::string MstEditModel::MeasCaption() const
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

bool MstEditModel::Add(int level, const std::string& name)
{
    if (!Editable())
        return false;
    bool existed = false;
    int at = -1;
    switch (level) {
    case LevelCustomer: at = m_tree.customers.FindOrInsert(name, &existed); break;
    case LevelCable:
        if (!customer())
            return false;
        at = customer()->cables.FindOrInsert(name, &existed);
        break;
    default:
        if (!cable())
            return false;
        at = cable()->sets.FindOrInsert(name, &existed);
        break;
    }
    if (existed)
        return false;
    SelectRow(level, at);
    return true;
}

bool MstEditModel::Delete(int level)
{
    const int row = m_rows[level];
    if (!Editable() || row < 0)
        return false;
    switch (level) {
    case LevelCustomer: m_tree.customers.RemoveAt(row); break;
    case LevelCable: customer()->cables.RemoveAt(row); break;
    default: cable()->sets.RemoveAt(row); break;
    }
    const int n = RowCount(level);
    SelectRow(level, row < n ? row : n - 1);
    return true;
}

std::string MstEditModel::DeleteContentsText(int level) const
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

bool MstEditModel::DeleteMeas()
{
    CMeasData* set = SelectedSet();
    if (!Editable() || !set || m_measRow < 0)
        return false;
    const int row = m_measRow;
    set->RemoveRecordAt(static_cast<std::size_t>(row));
    RecalcRatios(*set);
    SelectMeasRow(row);
    return true;
}

namespace {

// Renames position `row` of a named list: in place when the order stays, otherwise by moving
// the entry (with everything below it) to its new sorted place. Returns the new position.
template <class T> int renameIn(CNamedList<T>& list, int row, const std::string& name)
{
    const bool staysPut =
        (row == 0 || CompareNames(list.At(row - 1).name, name) < 0) &&
        (row + 1 >= list.Count() || CompareNames(name, list.At(row + 1).name) < 0);
    if (staysPut) {
        list.At(row).name = name;
        return row;
    }
    T moved = list.At(row);
    list.RemoveAt(row);
    const int at = list.FindOrInsert(name);
    moved.name = name;
    list.At(at) = std::move(moved);
    return at;
}

} // namespace

std::optional<std::string> MstEditModel::Rename(int level, int row, const std::string& name)
{
    if (!Editable() || row < 0 || row >= RowCount(level))
        return std::string();
    const int limit = NameLimit(level);
    if (static_cast<int>(name.size()) > limit)
        return formatC(lit("指定の%sは全角%d（半角%d）文字以内です").c_str(),
                       LevelName(m_settings, level).c_str(), limit / 2, limit);
    int found = -1;
    switch (level) {
    case LevelCustomer: found = m_tree.customers.Find(name); break;
    case LevelCable: found = customer()->cables.Find(name); break;
    default: found = cable()->sets.Find(name); break;
    }
    if (found >= 0 && found != row)
        return formatC(lit("指定の%sは既に存在しています\n%s").c_str(),
                       ColumnTitle(m_settings, level).c_str(), name.c_str());
    int at = row;
    switch (level) {
    case LevelCustomer: at = renameIn(m_tree.customers, row, name); break;
    case LevelCable: at = renameIn(customer()->cables, row, name); break;
    default: at = renameIn(cable()->sets, row, name); break;
    }
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

bool MstEditModel::EditMeasCell(int row, int column, const std::string& text)
{
    CMeasData* set = SelectedSet();
    if (!Editable() || !set || row < 0 || row >= MeasRowCount())
        return false;
    const std::size_t index = static_cast<std::size_t>(row);
    CMeasRecord copy = set->RecordAt(index);
    switch (column) {
    case 0:
    case 1:
        if (column == 0)
            mxrfmt::SetStartDateFromText(copy, text);
        else
            mxrfmt::SetStartClockFromText(copy, text);
        // A text that is no date or time keeps the stored one rather than losing it.
        if (copy.StartTime.status != OleDateTime::Valid)
            return false;
        break;
    case 3:
    case 4: {
        // The text the cell shows is a rounded form: taking it back would change the value.
        if (text == MeasCell(row, column))
            return false;
        const std::optional<double> v = entry::readInRange(*MeasCellRange(column), text);
        if (!v)
            return false;
        if (column == 3) {
            copy.TestVoltage = *v;
            break;
        }
        copy.TriggerLevel = *v;
        // The chosen final point stays; only the trigger events follow the new setting.
        copy.RecalcFinalAndTriggers(copy.UsedPoints, m_settings.TriggValidSec);
        break;
    }
    case 5: copy.SeikyokuRatio = optionalNumber(text); break;
    case 6: copy.JyakutenRatio = optionalNumber(text); break;
    default: return false;
    }
    if (copy.TestVoltage != set->RecordAt(index).TestVoltage) {
        set->RemoveRecordAt(index);
        const std::size_t at = set->InsertRecord(copy);
        SelectMeasRow(static_cast<int>(at));
        RecalcRatios(*set);
    } else {
        set->RecordAt(index) = std::move(copy);
        if (column == 3)
            RecalcRatios(*set);
    }
    return true;
}

namespace {

// The table's editor code of a field's editor.
int editorCode(condfields::Editor e)
{
    switch (e) {
    case condfields::Editor::CodeChoice: return 1;
    case condfields::Editor::TextChoice: return 2;
    case condfields::Editor::Criterion: return 13;
    default: return 0;
    }
}

} // namespace

std::vector<ConditionRow> MstEditModel::ConditionRows() const
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
                        Editable() ? editorCode(f.editor) : 18, condfields::Choices(f)});
    }
    return rows;
}

bool MstEditModel::EditCondition(int rowId, const std::string& text)
{
    CMeasData* set = SelectedSet();
    const condfields::ConditionField* field = condfields::FieldOfRow(condfields::RowFromId(rowId));
    if (!Editable() || !set || set->RecordCount() == 0 || !field ||
        field->editor == condfields::Editor::Criterion)
        return false;
    // An editor left as it opened changes nothing: the shown text is a rounded form.
    CTestCondition& c = set->RecordAt(0).Condition;
    if (text == field->show(c))
        return false;
    std::optional<double> number;
    if (const auto range = ConditionRange(rowId)) {
        number = entry::readInRange(*range, text);
        if (!number)
            return false;
    }
    condfields::Store(*field, c, text, number);
    storeDefaults(c);
    const CTestCondition block = c;
    ApplyCondition(*set, block);
    return true;
}

void MstEditModel::storeDefaults(const CTestCondition& c)
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
