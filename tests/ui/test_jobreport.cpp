// 試験成績書の作成: the dialog proposes the visit's sets from the dates, builds the document the
// tool builds, proposes the PDF's name, and fits a small screen; the keyboard reaches every field.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <set>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "settings/appsettings.h"
#include "support/widgetgrab.h"
#include "ui/analysis/jobreportdialog.h"

namespace {

CMeasRecord record(double kv, int month, int day, int32_t phase)
{
    CMeasRecord r;
    r.TestVoltage = kv;
    r.Condition.CabKind = phase;
    r.StartTime = *OleDateTime::fromCalendar({2026, month, day, 10, 0, 0});
    for (int i = 1; i <= 300; ++i)
        r.Points.push_back({CDataValue(0.5 + 3.0 / i), i * 0.3});
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

// 東工業: CV-1 measured on 2026-03-19 (set "2026") and on 2025-03-02 (set "2025"); CV-2 on
// 2026-03-19 and 2026-03-20 (set "2026").
CCustomerDB visitStore()
{
    CCustomerDB db;
    CCustomer& c = db.customers.At(db.customers.FindOrInsert(cp932::lit("東工業")));
    auto set = [&](const char* cable, const char* name) -> CMeasData& {
        CCable& k = c.cables.At(c.cables.FindOrInsert(cable));
        return k.sets.At(k.sets.FindOrInsert(name));
    };
    set("CV-1", "2025").AppendRecord(record(6.6, 3, 2, CabKindThreePhase));
    set("CV-1", "2026").AppendRecord(record(6.6, 3, 19, CabKindThreePhase));
    set("CV-2", "2026").AppendRecord(record(6.6, 3, 19, CabKindR));
    set("CV-2", "2026").AppendRecord(record(10.0, 3, 20, CabKindR));
    db.customers.FindOrInsert(cp932::lit("西電力"));
    return db;
}

QStringList ticked(QTreeWidget* tree)
{
    QStringList out;
    for (int c = 0; c < tree->topLevelItemCount(); ++c)
        for (int s = 0; s < tree->topLevelItem(c)->childCount(); ++s)
            if (tree->topLevelItem(c)->child(s)->checkState(0) == Qt::Checked)
                out << tree->topLevelItem(c)->text(0) + "/" + tree->topLevelItem(c)->child(s)->text(0);
    return out;
}

class JobReportDialogTest : public ::testing::Test {
protected:
    CCustomerDB db = visitStore();
    CAppSettings settings;
    QPrinter printer;
    JobReportDialog dialog{nullptr, db, cp932::lit("東工業"), settings, printer};
};

} // namespace

TEST_F(JobReportDialogTest, ProposesTheSetsOfTheDatesAndBuildsTheirDocument)
{
    // The latest day of the customer, and the sets measured that day.
    EXPECT_EQ(dialog.FromEdit()->date(), QDate(2026, 3, 20));
    EXPECT_EQ(ticked(dialog.SetTree()), QStringList{"CV-2/2026"});
    EXPECT_EQ(dialog.CountLabel()->text(), "測定データ 1 件");

    dialog.FromEdit()->setDate(QDate(2026, 3, 19));
    EXPECT_EQ(ticked(dialog.SetTree()), (QStringList{"CV-1/2026", "CV-2/2026"}));
    EXPECT_EQ(dialog.CountLabel()->text(), "測定データ 3 件");
    EXPECT_EQ(dialog.PdfProposal(), "東工業_20260319_試験成績書.pdf");

    // Untick CV-1's set: its record leaves the document.
    dialog.SetTree()->topLevelItem(0)->child(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(dialog.CountLabel()->text(), "測定データ 2 件");
    std::shared_ptr<jobdoc::JobBuild> job = dialog.Build();
    ASSERT_TRUE(job && job->report);
    ASSERT_EQ(job->records.size(), 2u);
    int pages = 0;
    for (const analysis::JobRecord& r : job->records) {
        double width = 1, axis = 1;
        jobdoc::AutoScale(*r.record, width, axis);
        ReportContent content;
        content.record = r.record;
        pages += PageReport({}, content, width, axis, {}).totalPages();
    }
    EXPECT_EQ(job->report->totalPages(), 1 + 1 + pages);

    // A day without measurements: nothing to output.
    dialog.FromEdit()->setDate(QDate(2026, 4, 1));
    EXPECT_TRUE(ticked(dialog.SetTree()).isEmpty());
    EXPECT_EQ(dialog.CountLabel()->text(), "該当する測定データがありません");

    // Another customer starts from its own (empty) tree.
    dialog.CustomerBox()->setCurrentIndex(dialog.CustomerBox()->findText("西電力"));
    EXPECT_EQ(dialog.SetTree()->topLevelItemCount(), 0);
}

TEST_F(JobReportDialogTest, FitsASmallScreenAndTabReachesEveryField)
{
    dialog.show();
    dialog.adjustSize();
    EXPECT_LE(dialog.width(), 1280);
    EXPECT_LE(dialog.height(), 720);
    // Tab from the customer through the fields reaches the remarks, the cover's texts and the
    // sections.
    std::set<QWidget*> reached;
    for (QWidget* w = dialog.CustomerBox()->nextInFocusChain(); w != dialog.CustomerBox();
         w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled())
            reached.insert(w);
    for (QWidget* w : std::initializer_list<QWidget*>{
             dialog.FromEdit(), dialog.ToEdit(), dialog.SetTree(), dialog.HistoryCheck(),
             dialog.PhaseCheck(), dialog.NumberEdit(), dialog.TesterEdit(), dialog.WitnessEdit(),
             dialog.RemarksEdit()})
        EXPECT_TRUE(reached.count(w)) << w->metaObject()->className();
}

TEST_F(JobReportDialogTest, GrabDialog)
{
    dialog.FromEdit()->setDate(QDate(2026, 3, 19));
    dialog.RemarksEdit()->setPlainText("ケーブル端末部の汚損が見られるため清掃を推奨します。");
    dialog.resize(dialog.sizeHint());
    EXPECT_TRUE(guitest::grabToPng(&dialog, guitest::grabDir() + "/jobreport_dialog.png"));
}
