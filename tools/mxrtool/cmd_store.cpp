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
#include "commands/treecommands.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "store/store.h"
#include "storejson.h"
#include "workspace/approvals.h"

namespace {

constexpr int kDefaultTriggValidSec = 10;

std::string nativePath(const QString& arg)
{
    return QFile::encodeName(arg).toStdString();
}

// The store's own message (CP932), as the program would show it, under a lead line.
int notRead(const QString& file, const StoreOutcome& out)
{
    return ProgramFailure(ToolMsg::StoreNotRead, {file}, out.message);
}
int notWritten(const QString& file, const StoreOutcome& out)
{
    return ProgramFailure(ToolMsg::StoreNotWritten, {file}, out.message);
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
// that can be opened for reading. Otherwise the failure is told and 1 returned.
std::optional<int> unusableInput(const std::string& path, const QString& file)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return ToolFailure(ToolMsg::CannotOpen,
                           {file, QString::fromLocal8Bit(std::strerror(errno))});
    if (!S_ISREG(st.st_mode))
        return ToolFailure(ToolMsg::NotAFile, {file});
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ToolFailure(ToolMsg::CannotOpen,
                           {file, QString::fromLocal8Bit(std::strerror(errno))});
    ::close(fd);
    return std::nullopt;
}

int dump(const QString& file)
{
    struct stat st;
    const std::string path = NativeStorePath(nativePath(file));
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        ToolNote(ToolMsg::MissingStoreIsEmpty, {file});
    CCustomerDB db;
    const StoreOutcome out = LoadStore(db, nativePath(file));
    if (!out.ok)
        return notRead(file, out);
    const std::string json = StoreToJson(db, out.version);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int resave(const QString& in, const QString& outFile)
{
    // LoadStore reads a missing file as an empty store; saved over OUT that would replace a
    // store with nothing because of a mistyped name.
    if (const auto failure = unusableInput(NativeStorePath(nativePath(in)), in))
        return *failure;
    CCustomerDB db;
    const StoreOutcome loaded = LoadStore(db, nativePath(in));
    if (!loaded.ok)
        return notRead(in, loaded);
    const StoreOutcome saved = SaveStore(db, nativePath(outFile));
    return saved.ok ? 0 : notWritten(outFile, saved);
}

int fromJson(const ToolContext& ctx, const QString& in, const QString& outFile, bool recalc)
{
    if (const auto failure = unusableInput(nativePath(in), in))
        return *failure;
    QFile file(in);
    if (!file.open(QIODevice::ReadOnly))
        return ToolFailure(ToolMsg::CannotOpen, {in, file.errorString()});
    CCustomerDB db;
    std::string error;
    if (!StoreFromJson(file.readAll(), db, error))
        return ToolFailure(ToolMsg::BadDumpDocument, {in, QString::fromStdString(error)});
    if (recalc) {
        // The sets approved in OUT's workspace keep the values they were approved with.
        const cmd::LockedSets locks = ws::LocksOfStore(NativeStorePath(nativePath(outFile)));
        const cmd::Outcome out =
            cmd::Run(db, cmd::RecalculateAll{triggValidSec(ctx)}, nullptr, &locks);
        if (out.skippedSets > 0)
            ToolNote(ToolMsg::ApprovedSkipped, {QString::number(out.skippedSets)});
    }
    const StoreOutcome saved = SaveStore(db, nativePath(outFile));
    return saved.ok ? 0 : notWritten(outFile, saved);
}

} // namespace

int runStoreCommand(const ToolContext& ctx, const QStringList& argsIn)
{
    QStringList args = argsIn;
    if (args.isEmpty())
        return usageError(ToolMsg::StoreNeedsSub);
    const QString sub = args.takeFirst();
    if (sub == "dump") {
        if (args.size() != 1)
            return usageError(ToolMsg::Expected, {QStringLiteral("store dump FILE")});
        return dump(args[0]);
    }
    if (sub == "resave") {
        if (args.size() != 2)
            return usageError(ToolMsg::Expected, {QStringLiteral("store resave IN OUT")});
        return resave(args[0], args[1]);
    }
    if (sub == "from-json") {
        const bool recalc = args.removeAll("--recalc") > 0;
        if (args.size() != 2)
            return usageError(ToolMsg::Expected,
                              {QStringLiteral("store from-json IN.json OUT [--recalc]")});
        return fromJson(ctx, args[0], args[1], recalc);
    }
    if (sub == "backups" || sub == "restore")
        return runBackupCommand(ctx, sub, args);
    return usageError(ToolMsg::UnknownCommand, {"store " + sub});
}
