// JournalTable: rows, texts, filter and CSV of the change journal as the user reads it.
#include "workspace/journaltable.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <string_view>

#include "model/csvfield.h"

namespace ws {
namespace {

constexpr std::array<const char*, static_cast<std::size_t>(JournalColumn::Count)> kTitles{
    "日時", "利用者", "端末", "操作", "需要家 / ケーブル / 測定データ", "内容"};

// The entries that are not commands of the tree, by their kind.
struct KindText {
    const char* kind;
    const char* text;
};
constexpr KindText kKindTexts[] = {
    {kind::External, "外部で変更"},
    {kind::Restore, "バックアップから復元"},
    {kind::Pull, "共有データベースから取得"},
    {kind::Undo, "元に戻す"},
    {kind::Redo, "やり直し"},
    {kind::Approve, "承認"},
    {kind::Withdraw, "承認の取り消し"},
    {kind::Start, "変更履歴の開始"},
    {kind::Receive, "受信データの登録"},
    {kind::RegisterEdit, "ケーブル台帳の編集"},
    {kind::RegisterImport, "ケーブル台帳の取り込み"},
};

const char* LevelName(ItemLevel level)
{
    switch (level) {
    case ItemLevel::Customer: return "需要家";
    case ItemLevel::Cable: return "ケーブル";
    case ItemLevel::Set: return "測定データ";
    case ItemLevel::Record: return "測定";
    }
    return "";
}

// The item's own name (a record has none: its set's).
const std::string& OwnName(const JournalItem& item)
{
    switch (item.level) {
    case ItemLevel::Customer: return item.customer;
    case ItemLevel::Cable: return item.cable;
    default: return item.set;
    }
}

std::string CountText(const JournalItem& item)
{
    if (item.level == ItemLevel::Record || item.count == 0)
        return {};
    return " (測定 " + std::to_string(item.count) + " 件)";
}

void LowerAscii(std::string& s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

} // namespace

const char* JournalColumnTitle(JournalColumn column)
{
    return kTitles.at(static_cast<std::size_t>(column));
}

std::string JournalTimeText(int64_t time)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return text;
}

std::string JournalOperationText(const JournalEntry& entry)
{
    std::string text = entry.summary;
    if (text.empty()) {
        text = entry.command;
        for (const KindText& k : kKindTexts)
            if (entry.command == k.kind)
                text = k.text;
    }
    if (!entry.reason.empty())
        text += "（" + entry.reason + "）";
    return text;
}

std::string JournalTargetText(const JournalItem& item)
{
    std::string text = item.customer;
    const int level = static_cast<int>(item.level);
    if (level >= static_cast<int>(ItemLevel::Cable))
        text += " / " + item.cable;
    if (level >= static_cast<int>(ItemLevel::Set))
        text += " / " + item.set;
    if (item.level == ItemLevel::Record && !item.contentKey.empty())
        text += " / 記録 " + item.contentKey.substr(0, 8);
    return text;
}

std::string JournalContentText(const JournalItem& item, bool lineBreaks)
{
    switch (item.change) {
    case ItemChange::Added: return "追加" + CountText(item);
    case ItemChange::Removed: return "削除" + CountText(item);
    case ItemChange::Renamed:
        return std::string("名前の変更 (") + LevelName(item.level) + "): " + OwnName(item) + " → " +
               item.newName;
    case ItemChange::Changed: break;
    }
    if (item.fields.empty())
        return "変更";
    std::string text;
    for (const FieldChange& f : item.fields) {
        if (!text.empty())
            text += lineBreaks ? "\n" : "、";
        text += f.field + ": " + f.before + " → " + f.after;
    }
    return text;
}

void JournalTable::SetEntries(std::vector<JournalEntry> entries)
{
    m_entries = std::move(entries);
    m_rows.clear();
    m_rows.reserve(m_entries.size());
    for (std::size_t e = m_entries.size(); e-- > 0;) {
        const auto entry = static_cast<uint32_t>(e);
        const std::size_t items = m_entries[e].items.size();
        if (items == 0)
            m_rows.push_back({entry, kNoItem});
        for (std::size_t i = 0; i < items; ++i)
            m_rows.push_back({entry, static_cast<uint32_t>(i)});
    }
    SetFilter(m_filter);
}

void JournalTable::SetFilter(const JournalRowFilter& filter)
{
    m_filter = filter;
    LowerAscii(m_filter.text);
    const bool any =
        m_filter.text.empty() && m_filter.since == 0 && m_filter.until == 0 && m_filter.level < 0;
    if (any) {
        m_visible = m_rows;
        return;
    }
    m_visible.clear();
    std::copy_if(m_rows.begin(), m_rows.end(), std::back_inserter(m_visible),
                 [this](const RowRef& r) { return Matches(r); });
}

bool JournalTable::Matches(const RowRef& row) const
{
    const JournalEntry& e = m_entries[row.entry];
    if (m_filter.since != 0 && e.time < m_filter.since)
        return false;
    if (m_filter.until != 0 && e.time >= m_filter.until)
        return false;
    const JournalItem* item = row.item == kNoItem ? nullptr : &e.items[row.item];
    if (m_filter.level >= 0 && (!item || static_cast<int>(item->level) != m_filter.level))
        return false;
    if (m_filter.text.empty())
        return true;
    std::string haystack = JournalTimeText(e.time);
    for (const std::string* s : {&e.user, &e.workstation})
        haystack += '\n' + *s;
    haystack += '\n' + JournalOperationText(e);
    if (item) {
        haystack += '\n' + JournalTargetText(*item) + '\n' + item->contentKey + '\n' +
                    item->newKey + '\n' + JournalContentText(*item);
    }
    LowerAscii(haystack);
    return haystack.find(m_filter.text) != std::string::npos;
}

const JournalEntry& JournalTable::EntryAt(std::size_t row) const
{
    return m_entries.at(m_visible.at(row).entry);
}

const JournalItem* JournalTable::ItemAt(std::size_t row) const
{
    const RowRef& r = m_visible.at(row);
    return r.item == kNoItem ? nullptr : &m_entries[r.entry].items[r.item];
}

std::string JournalTable::Text(std::size_t row, JournalColumn column) const
{
    const JournalEntry& e = EntryAt(row);
    const JournalItem* item = ItemAt(row);
    switch (column) {
    case JournalColumn::Time: return JournalTimeText(e.time);
    case JournalColumn::User: return e.user;
    case JournalColumn::Workstation: return e.workstation;
    case JournalColumn::Operation: return JournalOperationText(e);
    case JournalColumn::Target: return item ? JournalTargetText(*item) : std::string();
    case JournalColumn::Content: return item ? JournalContentText(*item) : std::string();
    case JournalColumn::Count: break;
    }
    return {};
}

std::string JournalTable::DetailText(std::size_t row) const
{
    const JournalEntry& e = EntryAt(row);
    const JournalItem* item = ItemAt(row);
    std::string text = "番号: " + std::to_string(e.id) + "\n日時: " + JournalTimeText(e.time) +
                       "\n利用者: " + e.user + "\n端末: " + e.workstation +
                       "\n操作: " + JournalOperationText(e) + " [" + e.command + "]";
    if (item) {
        text += std::string("\n対象 (") + LevelName(item->level) + "): " + JournalTargetText(*item);
        if (!item->contentKey.empty())
            text += "\n記録キー: " + item->contentKey;
        if (!item->newKey.empty() && item->newKey != item->contentKey)
            text += "\n変更後の記録キー: " + item->newKey;
        text += "\n内容:\n" + JournalContentText(*item, true);
    }
    return text;
}

std::string JournalTable::Csv() const
{
    std::string out = "\xEF\xBB\xBF";
    out += "番号,日時,利用者,端末,操作,需要家,ケーブル,測定データ,記録キー,内容\r\n";
    for (std::size_t row = 0; row < RowCount(); ++row) {
        const JournalEntry& e = EntryAt(row);
        const JournalItem* item = ItemAt(row);
        const JournalItem none;
        const JournalItem& it = item ? *item : none;
        const std::string fields[] = {std::to_string(e.id),
                                      JournalTimeText(e.time),
                                      e.user,
                                      e.workstation,
                                      JournalOperationText(e),
                                      it.customer,
                                      it.cable,
                                      it.set,
                                      it.contentKey,
                                      item ? JournalContentText(it) : std::string()};
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i > 0)
                out += ',';
            csvfield::Append(out, fields[i]);
        }
        out += "\r\n";
    }
    return out;
}

} // namespace ws
