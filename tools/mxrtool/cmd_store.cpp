// store dump | resave | from-json: the data store through the program's own reader and writer.
#include <QFile>

#include <cstdio>
#include <string>

#include "app/appfolder.h"
#include "app/inifile.h"
#include "app/settingskeys.h"
#include "commands.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "store/store.h"
#include "storejson.h"

namespace {

constexpr int kDefaultTriggValidSec = 10;

std::string nativePath(const QString& arg)
{
    return QFile::encodeName(arg).toStdString();
}

// The store's own message (CP932) on standard error, as the program would show it.
int failed(const StoreOutcome& out)
{
    std::fprintf(stderr, "%s\n", cp932::toUtf8(out.message).c_str());
    return 1;
}

int failed(const std::string& utf8)
{
    std::fprintf(stderr, "mxrtool: %s\n", utf8.c_str());
    return 1;
}

// "TriggValidSec" of system.ini in the application folder, read without writing anything.
int triggValidSec(const ToolContext& ctx)
{
    const auto folder = ApplicationFolder(ctx.homeOption, false);
    if (!folder)
        return kDefaultTriggValidSec;
    CIniFile ini(*folder + "/" + kSystemIniName);
    return ini.GetInt(inisec::Param, inikey::TriggValidSec, kDefaultTriggValidSec, false);
}

int dump(const QString& file)
{
    CCustomerDB db;
    const StoreOutcome out = LoadStore(db, nativePath(file));
    if (!out.ok)
        return failed(out);
    const std::string json = StoreToJson(db, out.version);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int resave(const QString& in, const QString& outFile)
{
    CCustomerDB db;
    const StoreOutcome loaded = LoadStore(db, nativePath(in));
    if (!loaded.ok)
        return failed(loaded);
    const StoreOutcome saved = SaveStore(db, nativePath(outFile));
    return saved.ok ? 0 : failed(saved);
}

int fromJson(const ToolContext& ctx, const QString& in, const QString& outFile, bool recalc)
{
    QFile file(in);
    if (!file.open(QIODevice::ReadOnly))
        return failed("cannot read " + in.toStdString() + ": " + file.errorString().toStdString());
    CCustomerDB db;
    std::string error;
    if (!StoreFromJson(file.readAll(), db, error))
        return failed(in.toStdString() + ": " + error);
    if (recalc) {
        const int valid = triggValidSec(ctx);
        for (int c = 0; c < db.customers.Count(); ++c) {
            CCustomer& customer = db.customers.At(c);
            for (int k = 0; k < customer.cables.Count(); ++k) {
                CCable& cable = customer.cables.At(k);
                for (int s = 0; s < cable.sets.Count(); ++s) {
                    CMeasData& set = cable.sets.At(s);
                    for (CMeasRecord& r : set.Records())
                        r.RecalcFinalAndTriggers(r.UsedPoints, valid);
                    RecalcRatios(set);
                }
            }
        }
    }
    const StoreOutcome saved = SaveStore(db, nativePath(outFile));
    return saved.ok ? 0 : failed(saved);
}

} // namespace

int runStoreCommand(const ToolContext& ctx, const QStringList& argsIn)
{
    QStringList args = argsIn;
    if (args.isEmpty())
        return usageError("store needs dump, resave or from-json");
    const QString sub = args.takeFirst();
    if (sub == "dump") {
        if (args.size() != 1)
            return usageError("store dump FILE");
        return dump(args[0]);
    }
    if (sub == "resave") {
        if (args.size() != 2)
            return usageError("store resave IN OUT");
        return resave(args[0], args[1]);
    }
    if (sub == "from-json") {
        const bool recalc = args.removeAll("--recalc") > 0;
        if (args.size() != 2)
            return usageError("store from-json IN.json OUT [--recalc]");
        return fromJson(ctx, args[0], args[1], recalc);
    }
    return usageError("unknown store command " + sub);
}
