// The 設備一覧・試験計画 window from the menu over a real store and workspace: the background
// build fills the cache, the rows are ranked, the filters and sorting narrow and order them, a
// row opens the cable's history and its latest measurement, and the CSV holds the rows shown.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPdfWriter>
#include <QTableView>
#include <QTemporaryDir>

#include "../fleet/fleettesthelp.h"
#include "fleet/fleettable.h"
#include "store/store.h"
#include "support/mainwindowsetup.h"
#include "support/widgetgrab.h"
#include "ui/analysis/analysiswindow.h"
#include "ui/analysis/fleetchart.h"
#include "ui/analysis/fleetmodel.h"
#include "ui/analysis/fleetpages.h"
#include "ui/analysis/fleetwindow.h"
#include "ui/frame/commandids.h"
#include "workspace/cableregister.h"
#include "workspace/workspace.h"

using fleettest::add;
using fleettest::record;

namespace {

// Two customers, five cables: one unbalanced, one 注意, two good, one untested.
CCustomerDB fleetTree()
{
    CCustomerDB tree;
    add(tree, "North", "line-A", "R", record("2024/06/10", 10, 1, CabKindR));
    add(tree, "North", "line-A", "S", record("2024/06/10", 10, 1, CabKindS));
    add(tree, "North", "line-A", "T", record("2024/06/10", 10, 10, CabKindT));
    add(tree, "North", "line-B", "2023", record("2023/08/31", 10, 70));
    add(tree, "South", "feeder-1", "2022", record("2022/01/31", 10, 20));
    add(tree, "South", "feeder-1", "2024", record("2024/01/31", 10, 20));
    add(tree, "South", "feeder-2", "2024", record("2024/03/01", 10, 20));
    sample::setAt(tree, "South", "spare", "none");
    return tree;
}

QStringList column(const FleetWindow& w, fleet::Column c)
{
    QStringList out;
    for (int r = 0; r < w.Filter()->rowCount(); ++r)
        out << w.Filter()->index(r, static_cast<int>(c)).data().toString();
    return out;
}

std::size_t cachedRows(const std::string& storePath)
{
    ws::Workspace w;
    EXPECT_TRUE(w.Open(storePath, false).usable());
    sqlite::Stmt s(w.Db(), "SELECT COUNT(*) FROM record_summary");
    s.Step();
    return static_cast<std::size_t>(s.Int(0));
}

} // namespace

TEST(FleetWindowFromTheMenu, BuildsRanksFiltersAndOpensTheCable)
{
    guitest::MainWindowSetup setup;
    ASSERT_TRUE(QDir(setup.dir.path()).mkpath(QStringLiteral("DATA")));
    setup.doc.Store() = fleetTree();
    const std::string storePath = setup.doc.DataFilePath();
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(storePath, true).usable());
        ws::CableRegisterEntry e;
        e.customer = "South";
        e.cable = "feeder-2";
        e.location = "第2変電所";
        e.intervalMonths = 6;
        ws::CableRegister(w).Put(e, {"u", "w"}, 1700000000);
    }

    QAction* show = setup.frame().Action(commandid::AnalysisFleet);
    ASSERT_NE(show, nullptr);
    ASSERT_TRUE(show->isEnabled());
    show->trigger();
    auto* w = setup.frame().findChild<FleetWindow*>();
    ASSERT_NE(w, nullptr);
    w->WaitForBuild();
    EXPECT_EQ(cachedRows(storePath), 7u); // the first build filled the cache
    w->SetAsOf(QDate(2024, 12, 15));
    w->WaitForBuild();
    EXPECT_FALSE(w->Building());

    EXPECT_EQ(column(*w, fleet::Column::Cable),
              (QStringList{"line-A", "line-B", "feeder-2", "feeder-1", "spare"}));
    EXPECT_EQ(column(*w, fleet::Column::Status),
              (QStringList{"期限切れ", "期限切れ", "期限切れ", "期限間近", "未試験"}));
    EXPECT_EQ(column(*w, fleet::Column::Location)[2], "第2変電所");
    EXPECT_EQ(column(*w, fleet::Column::Interval)[0], "6 (12)");
    EXPECT_TRUE(w->StateLabel()->text().contains(
        QStringLiteral("期限切れ 3・期限間近 1・予定 0・未試験 1")))
        << w->StateLabel()->text().toStdString();
    // The first row is chosen and explained: its interval, reason and contributions.
    EXPECT_TRUE(w->Detail()->toPlainText().contains(QStringLiteral("不平衡率 225 % … −30")));
    EXPECT_TRUE(w->Detail()->toPlainText().contains(
        QStringLiteral("不平衡率 225 %のため周期 12 → 6 か月")));
    // Twelve months of the chart, the overdue ones in the first.
    ASSERT_EQ(w->Chart()->Months().size(), 12u);
    EXPECT_EQ(w->Chart()->Months()[0].overdue, 3);

    // Filters: status, customer (with status), text; all cleared again.
    w->SetStatusFilter(static_cast<int>(fleet::DueStatus::Overdue));
    EXPECT_EQ(w->Filter()->rowCount(), 3);
    w->SetCustomerFilter("South");
    EXPECT_EQ(column(*w, fleet::Column::Cable), QStringList{"feeder-2"});
    w->SetStatusFilter(-1);
    w->SetCustomerFilter("");
    w->SetTextFilter(QStringLiteral("不平衡"));
    EXPECT_EQ(column(*w, fleet::Column::Cable), QStringList{"line-A"});
    w->SetTextFilter({});

    // Sorting by score, highest first: the numbers decide, untested (no score) at an end.
    w->View()->sortByColumn(static_cast<int>(fleet::Column::Score), Qt::DescendingOrder);
    EXPECT_EQ(column(*w, fleet::Column::Score), (QStringList{"", "100", "100", "85", "70"}));
    w->View()->sortByColumn(static_cast<int>(fleet::Column::Rank), Qt::AscendingOrder);

    // A row opens the cable's history without changing the selection, and the latest
    // measurement of the cable.
    w->OpenHistory(3);
    auto* history = setup.frame().findChild<AnalysisWindow*>();
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(history->isVisible());
    w->OpenLatest(3);
    EXPECT_EQ(setup.doc.Selection(), (DataSelection{"South", "feeder-1", "2024", 0}));

    // CSV of the rows shown.
    w->SetCustomerFilter("North");
    const QString csv = QString::fromUtf8(QByteArray::fromStdString(w->CsvBytes()).mid(3));
    const QStringList lines = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1,North,line-A,")));

    // Built again from the menu, every summary comes from the cache.
    show->trigger();
    EXPECT_EQ(setup.frame().findChildren<FleetWindow*>().size(), 1);
    w->WaitForBuild();
    EXPECT_EQ(w->Model()->rowCount(), 5);
    EXPECT_EQ(cachedRows(storePath), 7u);
}

TEST(GrabFleet, WindowAt1280x720)
{
    guitest::MainWindowSetup setup;
    ASSERT_TRUE(QDir(setup.dir.path()).mkpath(QStringLiteral("DATA")));
    CCustomerDB tree = fleetTree();
    for (int c = 0; c < 30; ++c)
        add(tree, "East", ("cable-" + std::to_string(c)).c_str(), "2024",
            record(c % 3 ? "2024/02/10" : "2023/11/20", 10, 10 + 2 * c));
    setup.doc.Store() = tree;
    setup.frame().Action(commandid::AnalysisFleet)->trigger();
    auto* w = setup.frame().findChild<FleetWindow*>();
    ASSERT_NE(w, nullptr);
    w->SetAsOf(QDate(2024, 12, 15));
    w->WaitForBuild();
    w->resize(1280, 720);
    w->View()->setFocus();
    w->View()->setCurrentIndex(w->Filter()->index(0, 0));
    EXPECT_TRUE(guitest::grabToPng(w, guitest::grabDir() + "/fleet_window.png"));
}

// The printout: the rows shown continue on further pages; an empty fleet prints one page that
// says so; both go through the PDF writer as the PDF command writes them.
TEST(FleetPages, RowsContinueOnFurtherPagesAndPrintToPdf)
{
    std::vector<fleet::CablePlan> plans(FleetPages::kRowsPerPage + 3);
    std::vector<const fleet::CablePlan*> rows;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        plans[i].customer = "K";
        plans[i].cable = "cable-" + std::to_string(i);
        plans[i].rank = static_cast<int>(i + 1);
        rows.push_back(&plans[i]);
    }
    QTemporaryDir dir;
    struct Case {
        std::vector<const fleet::CablePlan*> rows;
        int pages;
    };
    for (const Case& c : {Case{rows, 2}, Case{{}, 1}}) {
        FleetPages pages(c.rows, QStringLiteral("基準日 2024/12/15"), PrintOptions{});
        EXPECT_EQ(pages.totalPages(), c.pages);
        EXPECT_EQ(pages.buildPage(c.pages + 1), nullptr);
        QPdfWriter pdf(dir.filePath(QStringLiteral("fleet%1.pdf").arg(c.pages)));
        EXPECT_TRUE(pages.print(pdf, 1, c.pages));
    }
}
