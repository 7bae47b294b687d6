// mxrtool report, run as a user runs it: the screen picture, every printed page into a PDF, one
// page into a PNG, and its refusals.
#include <gtest/gtest.h>

#include "mxrtoolrun.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cmath>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "store/store.h"

namespace {

// One customer, cable and set with a five-minute record of decaying current and one kick.
void writeStore(const std::string& file)
{
    CCustomerDB db;
    CCustomer& customer = db.customers.At(db.customers.FindOrInsert(cp932::lit("東工業")));
    customer.name = cp932::lit("東工業");
    CCable& cable = customer.cables.At(customer.cables.FindOrInsert("CV-1"));
    cable.name = "CV-1";
    CMeasData& set = cable.sets.At(cable.sets.FindOrInsert("2026"));
    set.name = "2026";
    CMeasRecord r;
    r.DataNo = 1;
    r.TestVoltage = 10.0;
    r.TriggerLevel = 5.0;
    r.StartTime = *OleDateTime::fromCalendar({2026, 3, 19, 10, 30, 0});
    for (int i = 1; i <= 1500; ++i) {
        const double t = i * 0.2;
        const double v = (i == 700 ? 9.0 : 0.3 + 4.0 * std::exp(-t / 20.0));
        r.Points.push_back({CDataValue(v), t});
    }
    r.RecalcFinalAndTriggers(-1, 10);
    set.AppendRecord(r);
    RecalcRatios(set);
    ASSERT_TRUE(SaveStore(db, file).ok);
}

class ReportCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        store = dir.filePath("MXR.DAT");
        writeStore(store.toStdString());
    }
    QStringList select(int index = 0) const
    {
        return {"--home",  dir.path(), "report", store,  "--customer", "東工業",
                "--cable", "CV-1",     "--set",  "2026", "--index",    QString::number(index)};
    }
    QTemporaryDir dir;
    QString store;
};

TEST_F(ReportCli, RendersTheScreenReportAndThePrintedPages)
{
    const QString screen = dir.filePath("screen.png");
    ToolRun run = mxrtool(select() << "--screen-png" << screen << "--size"
                                   << "1024x768");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage shot(screen);
    EXPECT_EQ(shot.size(), QSize(1024, 768));

    const QString pdf = dir.filePath("report.pdf");
    run = mxrtool(select() << "--pdf" << pdf);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    // 1500 points need more than one page of the point table.
    EXPECT_GE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page "), 2);

    const QString page = dir.filePath("page1.png");
    run = mxrtool(select() << "--png" << page << "--page"
                           << "1");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage printed(page);
    ASSERT_FALSE(printed.isNull());
    EXPECT_GT(printed.height(), printed.width()); // an A4 page upright
}

TEST_F(ReportCli, RefusesWhatItCannotRender)
{
    const QString out = dir.filePath("x.png");
    EXPECT_EQ(mxrtool(select(5) << "--screen-png" << out).exitCode, 1); // no such measurement
    QStringList noSet = select();
    noSet.removeAt(noSet.indexOf("--set") + 1);
    noSet.removeAt(noSet.indexOf("--set"));
    EXPECT_EQ(mxrtool(noSet << "--screen-png" << out).exitCode, 2);
    EXPECT_EQ(mxrtool(select() << "--screen-png" << out << "--width"
                               << "nan")
                  .exitCode,
              2);
    EXPECT_FALSE(QFile::exists(out));
}

} // namespace
