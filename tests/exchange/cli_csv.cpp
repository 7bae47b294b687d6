// mxrtool csv, run as a separate process: the same bytes as the writer, titles from system.ini,
// and its refusals.
#include <gtest/gtest.h>

#include "mxrtoolrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "csvfixture.h"
#include "exchange/csvwriter.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "store/store.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A store holding the sample record as record 1 of its set.
void writeStore(const std::string& file)
{
    const CsvNames n = csvtest::sampleNames();
    CCustomerDB db;
    CCustomer& customer = db.customers.At(db.customers.FindOrInsert(n.customer));
    customer.name = n.customer;
    CCable& cable = customer.cables.At(customer.cables.FindOrInsert(n.cable));
    cable.name = n.cable;
    CMeasData& set = cable.sets.At(cable.sets.FindOrInsert(n.measData));
    set.name = n.measData;
    CMeasRecord low = csvtest::sampleRecord();
    low.TestVoltage = 5.0;
    set.AppendRecord(low);
    set.AppendRecord(csvtest::sampleRecord());
    ASSERT_TRUE(SaveStore(db, file).ok);
}

} // namespace

TEST(CsvCliRun, WritesTheWritersBytesWithTheConfiguredTitles)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("MXR.DAT");
    writeStore(store.toStdString());
    const QString home = dir.filePath("home");
    ASSERT_TRUE(QDir().mkpath(home));
    {
        QFile ini(home + "/system.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[title]\r\nMeasurement=" + QByteArray::fromStdString(cp932::lit("試験")) +
                  "\r\n");
    }
    const QStringList names = {"--customer", QString::fromUtf8("東京電力,第一"),
                               "--cable",    QString::fromUtf8("ケーブルA-1"),
                               "--set",      QString::fromUtf8("2005年定期")};

    ToolRun r = mxrtool(QStringList{"--home", home, "csv", store} + names +
                        QStringList{"--index", "1", "-o", dir.filePath("out.csv")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const std::string expected = CsvContent(csvtest::sampleNames(), csvtest::sampleRecord(),
                                            CsvLabelsFor("", "", cp932::lit("試験")));
    EXPECT_EQ(readAll(dir.filePath("out.csv")).toStdString(), expected);
    EXPECT_EQ(readAll(home + "/system.ini").size(), 27); // read only: nothing written back

    r = mxrtool(
        QStringList{"--home", home, "csv", store} + names +
        QStringList{"--index", "1", "-o", dir.filePath("utf8.csv"), "--encoding", "utf8bom"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(readAll(dir.filePath("utf8.csv")).toStdString(),
              CsvEncode(expected, CsvEncoding::Utf8Bom));

    struct Refusal {
        QStringList args;
        int exitCode;
    };
    const Refusal refusals[] = {
        {QStringList{"csv", store} + names + QStringList{"--index", "2", "-o", "x.csv"}, 1},
        {QStringList{"csv", store, "--customer", "nobody", "--cable", "k", "--set", "s", "--index",
                     "0", "-o", "x.csv"},
         1},
        {QStringList{"csv", store} + names + QStringList{"--index", "one", "-o", "x.csv"}, 2},
        {QStringList{"csv", store} + names, 2},
        {QStringList{"csv", store} + names +
             QStringList{"--index", "0", "-o", "x.csv", "--encoding", "latin1"},
         2},
        {QStringList{"csv", store} + names +
             QStringList{"--index", "0", "-o", dir.filePath("no/such/folder.csv")},
         1},
    };
    for (const Refusal& f : refusals) {
        r = mxrtool(QStringList{"--home", home} + f.args);
        EXPECT_EQ(r.exitCode, f.exitCode) << f.args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    // The program's own text follows the lead line of the user's language.
    EXPECT_TRUE(r.err.contains("\nOpenError\n")) << r.err.toStdString();
}
