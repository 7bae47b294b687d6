// The 変更履歴 window: the journal table's rows, texts, filter and CSV, the window's states and
// filters, its printout, and the window over a real workspace file.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QDate>
#include <QDateTime>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "report/layoutgrid.h"
#include "samplerecords.h"
#include "settings/appsettings.h"
#include "support/mainwindowsetup.h"
#include "support/widgetgrab.h"
#include "ui/dialogs/journalmodel.h"
#include "ui/dialogs/journalpages.h"
#include "ui/dialogs/journalwindow.h"
#include "ui/frame/commandids.h"
#include "workspace/journaltable.h"
#include "workspace/treediff.h"
#include "workspace/workspace.h"

namespace {

// Local time as Japan keeps it, for the texts of entry times (restored afterwards).
class JapanTime {
public:
    JapanTime()
    {
        if (const char* tz = std::getenv("TZ"))
            m_old = tz, m_had = true;
        setenv("TZ", "JST-9", 1);
        tzset();
    }
    ~JapanTime()
    {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};

// Seconds since the epoch of a Japanese local time.
int64_t jst(int y, int mo, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone(9 * 3600)).toSecsSinceEpoch();
}

const std::string kKey = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

ws::JournalItem item(ws::ItemChange change, ws::ItemLevel level, std::string customer,
                     std::string cable = {}, std::string set = {})
{
    ws::JournalItem i;
    i.change = change;
    i.level = level;
    i.customer = std::move(customer);
    i.cable = std::move(cable);
    i.set = std::move(set);
    return i;
}

// Four entries, oldest first: a customer added, a record's voltage edited, a change found from
// outside (two records), a withdrawn approval (no items).
std::vector<ws::JournalEntry> sampleJournal()
{
    std::vector<ws::JournalEntry> j(4);
    j[0] = {1, jst(2026, 12, 1, 10), "tanaka", "PC-01", "add-name", "追加: A社", "", {}};
    j[0].items.push_back(item(ws::ItemChange::Added, ws::ItemLevel::Customer, "A社"));
    j[1] = {
        2, jst(2026, 12, 5, 9, 30), "suzuki", "PC-02", "edit-measurement", "測定データの編集", "",
        {}};
    ws::JournalItem edit =
        item(ws::ItemChange::Changed, ws::ItemLevel::Record, "A社", "CV-1", "2026点検");
    edit.contentKey = kKey;
    edit.fields = {{"試験電圧", "1.50", "2.00"}, {"最終値", "12.3", "12.5"}};
    j[1].items.push_back(edit);
    j[2] = {3, jst(2026, 12, 10, 17), "suzuki", "PC-02", "external-change", "", "", {}};
    ws::JournalItem gone =
        item(ws::ItemChange::Removed, ws::ItemLevel::Record, "A社", "CV-1", "2026点検");
    gone.contentKey = std::string(64, 'e');
    ws::JournalItem cable = item(ws::ItemChange::Renamed, ws::ItemLevel::Cable, "A社", "CV-1");
    cable.newName = "CV-1, 北";
    j[2].items = {gone, cable};
    j[3] = {4,
            jst(2026, 12, 11, 8),
            "tanaka",
            "PC-01",
            "withdraw-approval",
            "承認の取り消し",
            "再測定のため",
            {}};
    return j;
}

std::vector<int64_t> rowEntries(const ws::JournalTable& t)
{
    std::vector<int64_t> ids;
    for (std::size_t r = 0; r < t.RowCount(); ++r)
        ids.push_back(t.EntryAt(r).id);
    return ids;
}

} // namespace

TEST(JournalTable, RowsAreItemsNewestFirstAndTheFilterNarrowsThem)
{
    const JapanTime japan;
    ws::JournalTable t;
    t.SetEntries(sampleJournal());
    ASSERT_EQ(t.TotalRowCount(), 5u);

    const int record = static_cast<int>(ws::ItemLevel::Record);
    const int customer = static_cast<int>(ws::ItemLevel::Customer);
    struct Case {
        const char* what;
        ws::JournalRowFilter filter;
        std::vector<int64_t> entries;
    } cases[] = {
        {"no filter", {}, {4, 3, 3, 2, 1}},
        {"user, either case", {"TANAKA"}, {4, 1}},
        {"a field label", {"試験電圧"}, {2}},
        {"a value after the change", {"2.00"}, {2}},
        {"the name of a kind without step name", {"外部で変更"}, {3, 3}},
        {"a whole content key", {kKey}, {2}},
        {"a new name", {"北"}, {3}},
        {"a reason", {"再測定"}, {4}},
        {"a time as shown", {"2026/12/05"}, {2}},
        {"nothing matches", {"zzz"}, {}},
        {"since a day", {"", jst(2026, 12, 5), 0, -1}, {4, 3, 3, 2}},
        {"until a day (exclusive)", {"", 0, jst(2026, 12, 5), -1}, {1}},
        {"one day", {"", jst(2026, 12, 10), jst(2026, 12, 11), -1}, {3, 3}},
        {"records only", {"", 0, 0, record}, {3, 2}},
        {"customers only", {"", 0, 0, customer}, {1}},
        {"records of one user", {"suzuki", 0, 0, record}, {3, 2}},
    };
    for (const Case& c : cases) {
        t.SetFilter(c.filter);
        EXPECT_EQ(rowEntries(t), c.entries) << c.what;
    }
    // Filtering again from a narrow filter still starts from every row.
    t.SetFilter({});
    EXPECT_EQ(t.RowCount(), 5u);
}

TEST(JournalTable, CellTextsNameTheChangeAsTheUserReadsIt)
{
    const JapanTime japan;
    ws::JournalTable t;
    t.SetEntries(sampleJournal());
    using C = ws::JournalColumn;
    struct Case {
        std::size_t row;
        C column;
        std::string text;
    } cases[] = {
        {0, C::Time, "2026/12/11 08:00:00"},
        {0, C::Operation, "承認の取り消し（再測定のため）"},
        {0, C::Target, ""},
        {0, C::Content, ""},
        {1, C::Operation, "外部で変更"},
        {1, C::Target, "A社 / CV-1 / 2026点検 / 記録 eeeeeeee"},
        {1, C::Content, "削除"},
        {2, C::Target, "A社 / CV-1"},
        {2, C::Content, "名前の変更 (ケーブル): CV-1 → CV-1, 北"},
        {3, C::User, "suzuki"},
        {3, C::Workstation, "PC-02"},
        {3, C::Target, "A社 / CV-1 / 2026点検 / 記録 01234567"},
        {3, C::Content, "試験電圧: 1.50 → 2.00、最終値: 12.3 → 12.5"},
        {4, C::Content, "追加"},
        {4, C::Target, "A社"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(t.Text(c.row, c.column), c.text) << c.row << "/" << static_cast<int>(c.column);

    ws::JournalItem removed =
        item(ws::ItemChange::Removed, ws::ItemLevel::Set, "A社", "CV-1", "2025");
    removed.count = 3;
    EXPECT_EQ(ws::JournalContentText(removed), "削除 (測定 3 件)");
    EXPECT_EQ(ws::JournalContentText(t.Entries()[1].items[0], true),
              "試験電圧: 1.50 → 2.00\n最終値: 12.3 → 12.5");
}

TEST(JournalTable, CsvIsUtf8WithBomOfTheRowsShown)
{
    const JapanTime japan;
    ws::JournalTable t;
    t.SetEntries(sampleJournal());
    t.SetFilter({"", jst(2026, 12, 10), 0, -1});
    const std::string expected =
        "\xEF\xBB\xBF"
        "番号,日時,利用者,端末,操作,需要家,ケーブル,測定データ,記録キー,内容\r\n"
        "4,2026/12/11 08:00:00,tanaka,PC-01,承認の取り消し（再測定のため）,,,,,\r\n"
        "3,2026/12/10 17:00:00,suzuki,PC-02,外部で変更,A社,CV-1,2026点検," +
        std::string(64, 'e') +
        ",削除\r\n"
        "3,2026/12/10 17:00:00,suzuki,PC-02,外部で変更,A社,CV-1,,,"
        "\"名前の変更 (ケーブル): CV-1 → CV-1, 北\"\r\n";
    EXPECT_EQ(t.Csv(), expected);

    // Quotes are doubled inside a quoted field.
    std::vector<ws::JournalEntry> quoted(1);
    quoted[0] = {9, jst(2026, 1, 2), "u", "w", "rename-name", "名前の変更", "", {}};
    ws::JournalItem r = item(ws::ItemChange::Renamed, ws::ItemLevel::Customer, "\"A\"");
    r.newName = "B";
    quoted[0].items.push_back(r);
    t.SetEntries(quoted);
    t.SetFilter({});
    const std::string csv = t.Csv();
    EXPECT_NE(csv.find(",\"\"\"A\"\"\",,,,\"名前の変更 (需要家): \"\"A\"\" → B\"\r\n"),
              std::string::npos)
        << csv;
}

class JournalWindowTest : public ::testing::Test {
protected:
    JournalWindow* Open(JournalQuery query, int scopes = 1)
    {
        m_window = std::make_unique<JournalWindow>(nullptr, m_printer, m_settings);
        m_window->SetQuery(std::move(query));
        std::vector<JournalScope> list;
        for (int i = 0; i < scopes; ++i) {
            JournalScope s{QStringLiteral("範囲 %1").arg(i), {}};
            s.filter.customer = i == 0 ? "" : "A社";
            list.push_back(s);
        }
        m_window->SetScopes(std::move(list));
        return m_window.get();
    }

    QPrinter m_printer;
    CAppSettings m_settings;
    std::unique_ptr<JournalWindow> m_window;
};

TEST_F(JournalWindowTest, WithoutAWorkspaceTheTableIsEmptyAndSaysSo)
{
    JournalWindow* w = Open([](const ws::JournalFilter&) { return JournalQueryResult{}; });
    EXPECT_EQ(w->Model()->rowCount(), 0);
    EXPECT_EQ(w->StateLabel()->text(), QStringLiteral("変更履歴はまだありません"));
    EXPECT_EQ(w->Output().pageCount(), 1);
}

TEST_F(JournalWindowTest, FiltersNarrowTheRowsAndTheStateCountsThem)
{
    const JapanTime japan;
    std::vector<ws::JournalFilter> asked;
    JournalWindow* w = Open(
        [&](const ws::JournalFilter& f) {
            asked.push_back(f);
            return JournalQueryResult{true, {}, sampleJournal()};
        },
        2);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].customer, "");
    EXPECT_EQ(w->Model()->rowCount(), 5);
    EXPECT_EQ(w->StateLabel()->text(), QStringLiteral("5 件 (全 5 件)"));
    EXPECT_EQ(w->Model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("内容"));
    EXPECT_EQ(w->Model()->index(3, 5).data().toString(),
              QStringLiteral("試験電圧: 1.50 → 2.00、最終値: 12.3 → 12.5"));
    EXPECT_EQ(w->Model()->index(3, 5).data(Qt::ToolTipRole).toString(),
              QStringLiteral("試験電圧: 1.50 → 2.00\n最終値: 12.3 → 12.5"));

    w->SetTextFilter(QStringLiteral("suzuki"));
    EXPECT_EQ(w->Model()->rowCount(), 3);
    EXPECT_EQ(w->StateLabel()->text(), QStringLiteral("3 件 (全 5 件)"));
    w->SetLevelFilter(static_cast<int>(ws::ItemLevel::Cable));
    EXPECT_EQ(w->Model()->rowCount(), 1);
    w->SetTextFilter(QString());
    w->SetLevelFilter(-1);
    // The end day belongs to the range.
    w->SetDateRange(QDate(2026, 12, 5), QDate(2026, 12, 10));
    EXPECT_EQ(w->Model()->rowCount(), 3);
    w->SetDateRange(QDate(2027, 1, 1), QDate());
    EXPECT_EQ(w->StateLabel()->text(), QStringLiteral("該当する変更はありません (全 5 件)"));
    w->SetDateRange(QDate(), QDate());
    EXPECT_EQ(w->Model()->rowCount(), 5);

    // The chosen row's whole entry shows below the table.
    w->View()->setCurrentIndex(w->Model()->index(3, 0));
    const QString detail = w->Detail()->toPlainText();
    EXPECT_TRUE(detail.contains(QStringLiteral("記録キー: ") + QString::fromStdString(kKey)))
        << detail.toStdString();
    EXPECT_TRUE(detail.contains(QStringLiteral("試験電圧: 1.50 → 2.00\n最終値: 12.3 → 12.5")));

    // Another scope reads the journal again with its names, keeping the row filter.
    w->SetTextFilter(QStringLiteral("tanaka"));
    auto* scopes = w->findChild<QComboBox*>(QStringLiteral("journalScope"));
    ASSERT_NE(scopes, nullptr);
    scopes->setCurrentIndex(1);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].customer, "A社");
    EXPECT_EQ(w->Model()->rowCount(), 2);
    EXPECT_EQ(w->CsvBytes(), w->Model()->Table().Csv());
}

TEST_F(JournalWindowTest, AJournalThatCannotBeReadSaysWhy)
{
    JournalWindow* w = Open([](const ws::JournalFilter&) {
        return JournalQueryResult{true, QStringLiteral("disk I/O error"), {}};
    });
    EXPECT_EQ(w->StateLabel()->text(),
              QStringLiteral("変更履歴を読み込めませんでした: disk I/O error"));
}

TEST_F(JournalWindowTest, PdfHoldsTheRowsShownAndWhatNarrowedThem)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) not installed";
    const JapanTime japan;
    JournalWindow* w = Open([](const ws::JournalFilter&) {
        return JournalQueryResult{true, {}, sampleJournal()};
    });
    w->SetTextFilter(QStringLiteral("suzuki"));
    const QString path = guitest::grabDir() + "/journal.pdf"; // kept to be looked at
    {
        QPdfWriter pdf(path);
        pdf.setResolution(300);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        const printout::PagedOutput out = w->Output();
        ASSERT_EQ(out.pageCount(), 1);
        ASSERT_TRUE(out.print(pdf, 1, 1, {}));
    }
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* expected : {"変更履歴", "範囲 0", "検索「suzuki」", "2026/12/05 09:30:00",
                                 "測定データの編集", "外部で変更", "PC-02"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("tanaka"))) << text.toStdString();
}

TEST(JournalPages, RowsContinueOnFurtherPagesAndAnEmptyTableSaysSo)
{
    EXPECT_EQ(JournalPages::PageCount(0), 1);
    EXPECT_EQ(JournalPages::PageCount(JournalPages::kRowsPerPage), 1);
    EXPECT_EQ(JournalPages::PageCount(JournalPages::kRowsPerPage + 1), 2);

    const JapanTime japan;
    std::vector<ws::JournalEntry> many;
    for (int i = 0; i < JournalPages::kRowsPerPage + 3; ++i) {
        ws::JournalEntry e{i + 1,      jst(2026, 12, 1) + i * 60,       "u", "w",
                           "add-name", "追加 " + std::to_string(i + 1), "",  {}};
        e.items.push_back(
            item(ws::ItemChange::Added, ws::ItemLevel::Customer, "C" + std::to_string(i + 1)));
        many.push_back(e);
    }
    ws::JournalTable t;
    t.SetEntries(many);
    JournalPages pages(t, QStringLiteral("すべての変更"), PrintOptions{});
    ASSERT_EQ(pages.totalPages(), 2);
    auto cellText = [&](LayoutGrid* g, int col, int row) {
        Block* b = g->findBlock("journal table");
        return b && b->grid() ? b->grid()->cell(col, row).text : QString();
    };
    LayoutGrid* second = pages.buildPage(2);
    ASSERT_NE(second, nullptr);
    // Newest first: the second page starts after the first page's rows.
    EXPECT_EQ(cellText(second, 3, 1), QStringLiteral("追加 %1").arg(JournalPages::kRowsPerPage + 3 -
                                                                    JournalPages::kRowsPerPage));
    EXPECT_EQ(pages.buildPage(3), nullptr);

    t.SetFilter({"no such text"});
    JournalPages none(t, QStringLiteral("すべての変更"), PrintOptions{});
    EXPECT_EQ(cellText(none.buildPage(1), 0, 1), QStringLiteral("該当する変更はありません"));
}

TEST(GrabJournal, WindowAt1280x720)
{
    const JapanTime japan;
    QPrinter printer;
    CAppSettings settings;
    JournalWindow w(nullptr, printer, settings);
    std::vector<ws::JournalEntry> entries;
    for (int round = 0; round < 6; ++round)
        for (ws::JournalEntry e : sampleJournal()) {
            e.id += round * 4;
            e.time += round * 86400 * 12;
            entries.push_back(e);
        }
    w.SetQuery([&](const ws::JournalFilter&) { return JournalQueryResult{true, {}, entries}; });
    w.SetScopes({{QStringLiteral("すべての変更"), {}},
                 {QStringLiteral("需要家: A社"), {"A社", "", "", "", 0, 0, 0, true}}});
    w.resize(1280, 720);
    w.show();
    w.View()->setCurrentIndex(w.Model()->index(3, 0));
    EXPECT_TRUE(guitest::grabToPng(&w, guitest::grabDir() + "/journal_window.png"));
}

// The menu entry opens the window over the workspace beside the document's store, offering the
// parts of the tree the selection names.
TEST(JournalFromTheMenu, ReadsTheStoresWorkspaceForTheSelection)
{
    guitest::MainWindowSetup setup;
    ASSERT_TRUE(QDir(setup.dir.path()).mkpath(QStringLiteral("DATA")));
    CMeasRecord record;
    record.TestVoltage = 2.0;
    record.StartTime = OleDateTime{46000.5, OleDateTime::Valid};
    sample::addPoints(record, 10, [](int i) { return 1.0 + i; });
    setup.doc.Store() = sample::treeWith({record}, "alpha", "C1", "S1");
    setup.doc.Selection() = {"alpha", "C1", "S1", 0};
    const std::string key =
        ws::KeyText(setup.doc.Store().customers.At(0).cables.At(0).sets.At(0).RecordAt(0));

    // Without a workspace: an empty journal, and none made by looking.
    QAction* show = setup.frame().Action(commandid::ShowJournal);
    ASSERT_NE(show, nullptr);
    ASSERT_TRUE(show->isEnabled());
    show->trigger();
    auto* w = setup.frame().findChild<JournalWindow*>();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->StateLabel()->text(), QStringLiteral("変更履歴はまだありません"));
    const std::string storePath = setup.doc.DataFilePath();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(ws::WorkspacePathFor(storePath))));

    {
        ws::Workspace ws;
        ASSERT_TRUE(ws.Open(storePath, true).usable());
        ws::JournalItem edited =
            item(ws::ItemChange::Changed, ws::ItemLevel::Record, "alpha", "C1", "S1");
        edited.contentKey = key;
        ws.Append(
            {0, jst(2026, 12, 1), "u", "w", "edit-measurement", "測定データの編集", "", {edited}});
        ws.Append({0,
                   jst(2026, 12, 2),
                   "u",
                   "w",
                   "add-name",
                   "追加: beta",
                   "",
                   {item(ws::ItemChange::Added, ws::ItemLevel::Customer, "beta")}});
    }
    // The same command again brings the one window forward and reads the journal again.
    show->trigger();
    EXPECT_EQ(setup.frame().findChildren<JournalWindow*>().size(), 1);
    EXPECT_EQ(w->Model()->rowCount(), 2);
    auto* scopes = w->findChild<QComboBox*>(QStringLiteral("journalScope"));
    ASSERT_EQ(scopes->count(), 5); // everything, customer, cable, set, the shown record
    EXPECT_TRUE(scopes->itemText(4).startsWith(QStringLiteral("表示中の測定: alpha / C1 / S1")))
        << scopes->itemText(4).toStdString();
    for (int i : {1, 4}) {
        scopes->setCurrentIndex(i);
        EXPECT_EQ(w->Model()->rowCount(), 1) << i;
        EXPECT_EQ(w->Model()->Table().EntryAt(0).summary, "測定データの編集") << i;
    }
}
