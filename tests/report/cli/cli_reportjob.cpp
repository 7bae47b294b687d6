// mxrtool report --job, run as a user runs it: the whole visit's document as a PDF read back
// with pdftotext and pdfinfo, the summary CSV, and the refusals.
#include <gtest/gtest.h>

#include "mxrtoolrun.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "store/store.h"

namespace {

// 13 full-width characters: the longest cable name the name entry takes.
const char kLongCable[] = "第一変電所北側引込ケーブル";
// 55 characters of remarks.
const char kRemark[] =
    "ケーブル端末部の汚損が見られるため清掃を推奨します。次回試験は一年後を目安に実施してください。以上";

CMeasRecord makeRecord(int phase, double kv, int day, int minute, double finalish)
{
    CMeasRecord r;
    r.DataNo = minute;
    r.TestVoltage = kv;
    r.TriggerLevel = 50.0;
    r.Condition.CabKind = phase;
    r.StartTime = *OleDateTime::fromCalendar({2026, 3, day, 10, minute, 0});
    for (int i = 1; i <= 900; ++i) { // 90 s at 0.1 s
        const double t = i * 0.1;
        r.Points.push_back({CDataValue(finalish + 4.0 * std::exp(-t / 20.0)), t});
    }
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

struct Layout {
    std::string cable, set;
    int phase;
    double kv;
    int day;
    double finalValue;
};

// Two cables measured on 2026-03-19 (R, S and T of the long-named one in a set each, as a set
// keeps one condition block; one three-phase record of CV-1 judged 不良), and an earlier set of
// CV-1 from 2026-03-02 outside the visit.
void writeStore(const std::string& file)
{
    const Layout records[] = {
        {"CV-1", "2026-03", CabKindThreePhase, 6.6, 2, 0.5},
        {"CV-1", "2026-19", CabKindThreePhase, 10.0, 19, 12.0},
        {kLongCable, "2026R", CabKindR, 6.6, 19, 0.4},
        {kLongCable, "2026S", CabKindS, 6.6, 19, 0.5},
        {kLongCable, "2026T", CabKindT, 6.6, 19, 2.0},
        {kLongCable, "2026R", CabKindR, 10.0, 19, 0.6},
    };
    CCustomerDB db;
    CCustomer& customer = db.customers.At(db.customers.FindOrInsert(cp932::lit("東工業")));
    int minute = 0;
    for (const Layout& l : records) {
        const std::string cableName = cp932::lit(l.cable);
        CCable& cable = customer.cables.At(customer.cables.FindOrInsert(cableName));
        CMeasData& set = cable.sets.At(cable.sets.FindOrInsert(l.set));
        set.AppendRecord(makeRecord(l.phase, l.kv, l.day, minute += 5, l.finalValue));
        RecalcRatios(set);
    }
    ASSERT_TRUE(SaveStore(db, file).ok);
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pageCount(const QString& pdf)
{
    const QString info = run("pdfinfo", {pdf});
    const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of a PDF (or one page of it) with every blank and line break removed, so that a
// text wrapped onto two lines of its cell still reads whole.
QString pdfText(const QString& pdf, int page = 0)
{
    QStringList args{"-enc", "UTF-8"};
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    args << pdf << "-";
    return run("pdftotext", args).remove(QRegularExpression("\\s"));
}

class ReportJobCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        store = dir.filePath("MXR.DAT");
        writeStore(store.toStdString());
    }
    QStringList job() const
    {
        return {"--home", dir.path(), "report", store, "--job", "--customer", "東工業",
                "--from", "2026-03-19", "--to", "2026-03-19", "--number", "R-0042",
                "--remarks", QString::fromUtf8(kRemark)};
    }
    // The pages of one record printed alone.
    int singlePages(const QString& cable, const QString& set, int index)
    {
        const QString pdf = dir.filePath("single.pdf");
        const ToolRun r = mxrtool({"--home", dir.path(), "report", store, "--customer", "東工業",
                                   "--cable", cable, "--set", set, "--index",
                                   QString::number(index), "--pdf", pdf});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return pageCount(pdf);
    }
    QTemporaryDir dir;
    QString store;
};

TEST_F(ReportJobCli, DocumentHoldsCoverSummaryAndEveryRecordsPages)
{
    const QString pdf = dir.filePath("job.pdf");
    const ToolRun r = mxrtool(job() << "--pdf" << pdf);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    const QString longCable = QString::fromUtf8(kLongCable);
    // The visit's five records; the set of 2026-03-02 stays out.
    const int records = singlePages("CV-1", "2026-19", 0) + singlePages(longCable, "2026R", 0) +
                        singlePages(longCable, "2026R", 1) + singlePages(longCable, "2026S", 0) +
                        singlePages(longCable, "2026T", 0);
    const int total = pageCount(pdf);
    EXPECT_EQ(total, 1 + 1 + records); // cover, one summary page

    const QString all = pdfText(pdf);
    EXPECT_FALSE(all.contains("2026-03")) << "a set outside the dates was included";
    EXPECT_TRUE(all.contains("試験成績書"));
    EXPECT_TRUE(all.contains(longCable)) << "the long cable name is cut";
    EXPECT_TRUE(all.contains(QString::fromUtf8(kRemark))) << "the remark is cut";
    // The summary's rows with their judgments (the totals are read from the CSV).
    const QString summary = pdfText(pdf, 2);
    EXPECT_TRUE(summary.contains("1CV-12026-192026/03/19３相一括10.0012.044不良"))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains("5" + longCable + "2026T2026/03/19Ｔ相6.602.044注意"))
        << summary.toStdString();
    // Every record's heading values on its own pages.
    for (const char* start : {"2026/03/1910:10:00", "2026/03/1910:15:00", "2026/03/1910:20:00",
                              "2026/03/1910:25:00", "2026/03/1910:30:00"})
        EXPECT_TRUE(all.contains(QString::fromLatin1(start))) << start;
    // Every page carries the document's page number and the report number.
    for (int p = 1; p <= total; ++p) {
        const QString page = pdfText(pdf, p);
        EXPECT_TRUE(page.endsWith(QStringLiteral("%1/%2").arg(p).arg(total)) ||
                    page.contains(QStringLiteral("東工業%1/%2").arg(p).arg(total)))
            << "page " << p;
        EXPECT_TRUE(page.contains("No.R-0042")) << "page " << p;
    }
}

TEST_F(ReportJobCli, JudgmentsOffLeavesEveryJudgmentOut)
{
    const QString pdf = dir.filePath("plain.pdf");
    const ToolRun r = mxrtool(job() << "--judgments" << "off" << "--pdf" << pdf);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("12.044")) << "the values stay";
    for (const char* word : {"良", "注意", "測定数"})
        EXPECT_FALSE(text.contains(QString::fromUtf8(word))) << word;
}

TEST_F(ReportJobCli, HistoryAndPhasePagesFollowTheirCable)
{
    const QString plain = dir.filePath("plain.pdf"), more = dir.filePath("more.pdf");
    ASSERT_EQ(mxrtool(job() << "--pdf" << plain).exitCode, 0);
    const ToolRun r = mxrtool(job() << "--history" << "--phase" << "--pdf" << more);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // One history page per cable, one phase table for the cable with R, S and T.
    EXPECT_EQ(pageCount(more), pageCount(plain) + 3);
    const QString text = pdfText(more);
    EXPECT_EQ(text.count("経年変化"), 2);
    EXPECT_EQ(text.count("相間比較"), 1);
}

TEST_F(ReportJobCli, WritesTheSummaryAsCp932Csv)
{
    const QString csv = dir.filePath("job.csv");
    const ToolRun r = mxrtool(job() << "--csv" << csv << "--sets" << "2026R,2026S");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 1 + 3 + 2 + 1); // header, three records, totals, end
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    auto utf8 = [&](int i) { return cp932::toUtf8(lines[i].toStdString()); };
    EXPECT_EQ(utf8(0), "No.,ケーブル,測定データ,試験日,相,試験電圧(kV),最終値(μA),判定,成極比,判定,"
                       "弱点比,判定,兆候,総合判定\r");
    EXPECT_EQ(utf8(2), "2," + std::string(kLongCable) +
                           ",2026R,2026/03/19,Ｒ相,10.00,0.644,良,1.2,良,---,,,良\r")
        << "no 弱点比 above the highest step: no judgment";
    EXPECT_EQ(utf8(4), "測定数,良,3,注意,0,不良,0\r");
    EXPECT_EQ(utf8(5), "ケーブル数,良,1,注意,0,不良,0\r");
}

TEST_F(ReportJobCli, RefusesWhatItCannotBuild)
{
    const QString pdf = dir.filePath("x.pdf");
    auto base = [&] {
        return QStringList{"--home", dir.path(), "report", store, "--job", "--customer", "東工業"};
    };
    EXPECT_EQ(mxrtool(base() << "--pdf" << pdf).exitCode, 2);                         // no selection
    EXPECT_EQ(mxrtool(base() << "--from" << "2026-02-30" << "--pdf" << pdf).exitCode, 2); // no day
    EXPECT_EQ(mxrtool(base() << "--from" << "2026-03-19").exitCode, 2);               // no output
    EXPECT_EQ(mxrtool(base() << "--from" << "2027-01-01" << "--pdf" << pdf).exitCode, 1); // none
    EXPECT_FALSE(QFile::exists(pdf));
}

} // namespace
