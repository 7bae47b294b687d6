// store dump | resave | from-json: the data store through the program's own reader and writer.
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "settings/appfolder.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"
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

// The input of a command that must not take a missing file for an empty store: a regular file
// that can be opened for reading. Otherwise the reason, for standard error.
std::optional<std::string> unusableInput(const std::string& path, const QString& file)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return file.toStdString() + ": " + std::strerror(errno);
    if (!S_ISREG(st.st_mode))
        return file.toStdString() + ": not a regular file";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return file.toStdString() + ": " + std::strerror(errno);
    ::close(fd);
    return std::nullopt;
}

int dump(const QString& file)
{
    struct stat st;
    const std::string path = NativeStorePath(nativePath(file));
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        std::fprintf(stderr,
                     "mxrtool: %s does not exist or is a folder: read as an empty store, as at "
                     "start-up\n",
                     file.toUtf8().constData());
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
    // LoadStore reads a missing file as an empty store; saved over OUT that would replace a
    // store with nothing because of a mistyped name.
    if (const auto why = unusableInput(NativeStorePath(nativePath(in)), in))
        return failed(*why);
    CCustomerDB db;
    const StoreOutcome loaded = LoadStore(db, nativePath(in));
    if (!loaded.ok)
        return failed(loaded);
    const StoreOutcome saved = SaveStore(db, nativePath(outFile));
    return saved.ok ? 0 : failed(saved);
}

int fromJson(const ToolContext& ctx, const QString& in, const QString& outFile, bool recalc)
{
    if (const auto why = unusableInput(nativePath(in), in))
        return failed(*why);
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
    if (sub == "backups" || sub == "restore")
        return runBackupCommand(ctx, sub, args);
    return usageError("unknown store command " + sub);
}
