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

// A store whose one record holds a point only a damaged or crafted file can hold, beside
// valid points every 2 s up to ten minutes.
struct CraftedCase {
    const char* what;
    double t, v; // t < 0: no crafted point (the clean record)
};

void writeCraftedStore(const std::string& file, const CraftedCase& c)
{
    CCustomerDB db;
    CCustomer& customer = db.customers.At(db.customers.FindOrInsert("C"));
    customer.name = "C";
    CCable& cable = customer.cables.At(customer.cables.FindOrInsert("K"));
    cable.name = "K";
    CMeasData& set = cable.sets.At(cable.sets.FindOrInsert("S"));
    set.name = "S";
    CMeasRecord r;
    r.TestVoltage = 5.0;
    r.TriggerLevel = 5.0;
    r.StartTime = *OleDateTime::fromCalendar({2026, 3, 19, 10, 30, 0});
    for (int i = 1; i <= 300; ++i)
        r.Points.push_back({CDataValue(1.0 + 3.0 * std::exp(-i / 20.0)), i * 2.0});
    if (c.t >= 0 || std::isnan(c.t) || std::isinf(c.t))
        r.Points.insert(r.Points.begin() + 150, {CDataValue(c.v), c.t});
    r.UsedPoints = static_cast<int32_t>(r.Points.size());
    r.LastCurrent = 1.0;
    set.AppendRecord(r);
    ASSERT_TRUE(SaveStore(db, file).ok);
}

TEST(ReportCliCrafted, InvalidPointsBoundThePagesAndReadAsDashes)
{
    const CraftedCase clean{"clean", -1, 0};
    const CraftedCase cases[] = {
        {"time 1e12 s", 1e12, 2.0}, {"+Inf time", INFINITY, 2.0}, {"-Inf time", -INFINITY, 2.0},
        {"NaN time", NAN, 2.0},     {"NaN value", 301.0, NAN},    {"+Inf value", 301.0, INFINITY},
    };
    QTemporaryDir dir;
    // The page count as the tool reports it for a page out of range: no page is drawn.
    auto pagesOf = [&](const QString& store, const QStringList& extra) {
        const ToolRun r =
            mxrtool(QStringList{"--home", dir.path(), "report", store, "--customer", "C", "--cable",
                                "K", "--set", "S", "--index", "0", "--png",
                                dir.filePath("none.png"), "--page", "1000000"}
                    << extra);
        const int at = r.err.indexOf("(the report has ");
        return at < 0 ? -1 : r.err.mid(at + 16).split(')').first().toInt();
    };
    const QString cleanStore = dir.filePath("clean.dat");
    writeCraftedStore(cleanStore.toStdString(), clean);
    const int autoPages = pagesOf(cleanStore, {});
    ASSERT_GT(autoPages, 1);
    ASSERT_EQ(pagesOf(cleanStore, {"--width", "1"}), 5) << "4 graph pages, 1 table page";

    for (const CraftedCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QString store = dir.filePath("crafted.dat");
        writeCraftedStore(store.toStdString(), c);
        // The auto-scaled width and the page count follow the valid points alone.
        EXPECT_EQ(pagesOf(store, {}), autoPages);
        EXPECT_EQ(pagesOf(store, {"--width", "1"}), 5);

        const QStringList select{"--home",  dir.path(), "report", store, "--customer", "C",
                                 "--cable", "K",        "--set",  "S",   "--index",    "0"};
        const QString pdf = dir.filePath("crafted.pdf");
        ToolRun run = mxrtool(QStringList(select) << "--pdf" << pdf << "--width"
                                                  << "1");
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        QFile f(pdf);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page "), 5);
        run = mxrtool(QStringList(select) << "--screen-png" << dir.filePath("screen.png"));
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

        // The CSV lists the crafted point with dashes in its invalid field.
        const QString csv = dir.filePath("crafted.csv");
        run = mxrtool({"--home", dir.path(), "csv", store, "--customer", "C", "--cable", "K",
                       "--set", "S", "--index", "0", "-o", csv});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        QFile text(csv);
        ASSERT_TRUE(text.open(QIODevice::ReadOnly));
        const QByteArray content = text.readAll();
        const QByteArray line = std::isfinite(c.v) ? "\r\n---,  2.0" : "\r\n05:01.0, ---\r\n";
        EXPECT_TRUE(content.contains(line)) << content.toStdString();

        // The stored bytes stay as they are.
        const QString again = dir.filePath("again.dat");
        ASSERT_EQ(mxrtool({"store", "resave", store, again}).exitCode, 0);
        QFile a(store), b(again);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        EXPECT_EQ(a.readAll(), b.readAll());
    }
}

} // namespace
