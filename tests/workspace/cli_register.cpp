// mxrtool register: export and import of the cable register, run as a user runs them on a real
// store and workspace.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "model/cp932text.h"
#include "mxrtoolrun.h"
#include "samplerecords.h"
#include "store/store.h"
#include "workspace/cableregister.h"
#include "workspace/workspace.h"

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(RegisterCli, ExportsInBothEncodingsAndImportsAllOrNothing)
{
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("MXR.DAT"));
    StoreOptions o;
    o.syncToDisk = false;
    ASSERT_TRUE(SaveStore(sample::editTree({}), store.toStdString(), o).ok); // alpha: C1, C2
    {
        ws::Workspace w;
        ASSERT_TRUE(w.Open(store.toStdString(), true).usable());
        ws::CableRegisterEntry e;
        e.customer = "alpha";
        e.cable = "C1";
        e.location = "北系統";
        e.voltageKv = 6.6;
        ws::CableRegister(w).Put(e, {"tanaka", "pc"}, 100);
    }

    const QString sjis = dir.filePath(QStringLiteral("sjis.csv"));
    const QString utf8 = dir.filePath(QStringLiteral("utf8.csv"));
    ToolRun r = mxrtool({QStringLiteral("register"), QStringLiteral("export"), store, sjis});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(r.out).object()[QStringLiteral("entries")].toInt(), 1);
    EXPECT_TRUE(readAll(sjis).contains(QByteArray::fromStdString(cp932::lit("北系統"))));
    r = mxrtool({QStringLiteral("register"), QStringLiteral("export"), store,
                 QStringLiteral("--encoding"), QStringLiteral("utf8"), utf8});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(readAll(utf8).startsWith("\xEF\xBB\xBF"));

    // A file with one bad row: refused with the row's line, and nothing written.
    const QString bad = dir.filePath(QStringLiteral("bad.csv"));
    write(bad, QByteArray::fromStdString(cp932::lit("需要家,ケーブル,布設年\r\n"
                                                    "alpha,C2,1999\r\n"
                                                    "alpha,C1,nineteen\r\n")));
    r = mxrtool({QStringLiteral("register"), QStringLiteral("import"), store, bad});
    EXPECT_EQ(r.exitCode, 1);
    const QJsonObject refused = QJsonDocument::fromJson(r.out).object();
    EXPECT_FALSE(refused[QStringLiteral("imported")].toBool());
    const QJsonArray errors = refused[QStringLiteral("errors")].toArray();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].toObject()[QStringLiteral("line")].toInt(), 3);
    EXPECT_EQ(errors[0].toObject()[QStringLiteral("column")].toString(), QStringLiteral("布設年"));

    // The exported file with a row more comes back in.
    QByteArray more = readAll(utf8);
    more += "alpha,C2,,,CV,,,2001,B,,,\r\nnobody,X,,,,,,,,,,\r\n";
    write(bad, more);
    r = mxrtool({QStringLiteral("register"), QStringLiteral("import"), store, bad});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    const QJsonObject done = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(done[QStringLiteral("rows")].toInt(), 3);
    EXPECT_EQ(done[QStringLiteral("changed")].toInt(), 2);
    EXPECT_EQ(done[QStringLiteral("orphans")].toInt(), 1);
    ws::Workspace w;
    ASSERT_TRUE(w.Open(store.toStdString(), false).usable());
    ws::CableRegister reg(w);
    EXPECT_EQ(reg.Find("alpha", "C2")->installYear, 2001);
    EXPECT_EQ(reg.Find("alpha", "C1")->location, "北系統");
}
