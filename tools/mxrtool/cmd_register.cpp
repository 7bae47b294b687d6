// register: the cable register of a store's workspace as CSV. export writes every entry;
// import checks every row first and writes all of them in one transaction or none.
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "commands.h"
#include "exchange/csvwriter.h"
#include "jsonout.h"
#include "model/customerdb.h"
#include "namedrecord.h"
#include "store/store.h"
#include "workspace/registercsv.h"
#include "workspace/workspace.h"

using namespace Qt::StringLiterals;

namespace {

using Layout = JsonOut::Layout;

constexpr const char* kUsage =
    "register export STORE [--encoding sjis|utf8] FILE | register import STORE FILE";

struct RegisterArgs {
    QString store, file;
    CsvEncoding encoding = CsvEncoding::Cp932;
};

std::optional<CsvEncoding> encodingNamed(const QString& name)
{
    if (name == "sjis"_L1 || name == "cp932"_L1)
        return CsvEncoding::Cp932;
    if (name == "utf8"_L1 || name == "utf8bom"_L1)
        return CsvEncoding::Utf8Bom;
    return std::nullopt;
}

// STORE then FILE, in that order; --encoding (export only) anywhere.
std::optional<QString> parse(const QStringList& args, bool exporting, RegisterArgs& a)
{
    QStringList words;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--encoding"_L1 && exporting) {
            if (i + 1 >= args.size())
                return ToolText(ToolMsg::NeedsValue, {args[i]});
            const auto encoding = encodingNamed(args[++i]);
            if (!encoding)
                return ToolText(ToolMsg::BadValueGiven, {args[i - 1], args[i]});
            a.encoding = *encoding;
            continue;
        }
        if (args[i].startsWith("--"_L1))
            return ToolText(ToolMsg::UnknownOption, {args[i]});
        words << args[i];
    }
    if (words.size() != 2)
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kUsage)});
    a.store = words[0];
    a.file = words[1];
    return std::nullopt;
}

// The workspace of the store; made when missing (an import), or nothing to export.
int openWorkspace(ws::Workspace& w, const std::string& storePath, bool create)
{
    const ws::OpenOutcome opened = w.Open(storePath, create);
    if (opened.status == ws::OpenStatus::Missing)
        return 0;
    if (!opened.usable())
        return ToolFailure(ToolMsg::CannotOpen,
                           {QFile::decodeName(ws::WorkspacePathFor(storePath).c_str()),
                            QString::fromStdString(opened.error)});
    if (opened.status == ws::OpenStatus::Replaced)
        ToolNote(ToolMsg::JournalKeptAside, {QFile::decodeName(opened.setAsidePath.c_str())});
    return 0;
}

void finish(JsonOut& j)
{
    j.text += '\n';
    std::fwrite(j.text.data(), 1, j.text.size(), stdout);
}

int runExport(const RegisterArgs& a)
{
    const std::string storePath = QFileInfo(a.store).absoluteFilePath().toStdString();
    ws::Workspace w;
    if (const int failed = openWorkspace(w, storePath, false))
        return failed;
    std::vector<ws::CableRegisterEntry> entries;
    try {
        if (w.IsOpen())
            entries = ws::CableRegister(w).List();
    } catch (const sqlite::Error& e) {
        return ToolFailure(ToolMsg::CannotOpen,
                           {QFile::decodeName(w.Path().c_str()), QString::fromUtf8(e.what())});
    }
    const std::string path = QFile::encodeName(a.file).toStdString();
    const CsvWriteOutcome out = WriteCsvFile(path, ws::RegisterCsvContent(entries, a.encoding));
    if (!out.ok)
        return ProgramFailure(ToolMsg::CsvNotWritten, {a.file}, out.message);
    JsonOut j;
    {
        JsonOut::Scope root = j.object(Layout::Lines);
        root.string("store", storePath);
        root.string("file", out.path);
        root.string("encoding", a.encoding == CsvEncoding::Cp932 ? "sjis" : "utf8");
        root.integer("entries", static_cast<long long>(entries.size()));
    }
    finish(j);
    return 0;
}

int runImport(const RegisterArgs& a)
{
    const std::string storePath = QFileInfo(a.store).absoluteFilePath().toStdString();
    // The tree gives the cables' own spelling and tells the orphans.
    CCustomerDB tree;
    const StoreOutcome loaded = LoadStore(tree, QFile::encodeName(a.store).toStdString());
    if (!loaded.ok)
        return ProgramFailure(ToolMsg::StoreNotRead, {a.store}, loaded.message);
    QFile file(a.file);
    if (!file.open(QIODevice::ReadOnly))
        return ToolFailure(ToolMsg::CannotOpen, {a.file, file.errorString()});
    const QByteArray bytes = file.readAll();
    ws::Workspace w;
    if (const int failed = openWorkspace(w, storePath, true))
        return failed;
    ws::RegisterImport result;
    try {
        ws::CableRegister reg(w);
        result = ws::ImportRegisterCsv(reg, std::string_view(bytes.constData(), bytes.size()),
                                       &tree, ws::CurrentActor(), std::time(nullptr));
    } catch (const sqlite::Error& e) {
        return ToolFailure(ToolMsg::CannotOpen,
                           {QFile::decodeName(w.Path().c_str()), QString::fromUtf8(e.what())});
    }
    JsonOut j;
    {
        JsonOut::Scope root = j.object(Layout::Lines);
        root.string("store", storePath);
        root.string("file", QFileInfo(a.file).absoluteFilePath().toStdString());
        root.boolean("imported", result.ok());
        root.integer("rows", result.rows);
        root.integer("changed", result.changed);
        root.integer("orphans", result.orphans);
        JsonOut::Scope errors = root.array("errors", Layout::Lines);
        for (const ws::RegisterCsvError& e : result.errors) {
            JsonOut::Scope o = errors.object(Layout::Inline);
            o.integer("line", e.line);
            o.string("column", e.column);
            o.string("reason", e.why);
            o.string("text", ws::RegisterCsvErrorText(e));
        }
    }
    finish(j);
    return result.ok() ? 0 : 1;
}

} // namespace

int runRegisterCommand(const ToolContext&, const QStringList& args)
{
    if (args.isEmpty() || (args[0] != "export"_L1 && args[0] != "import"_L1))
        return usageError(ToolMsg::Expected, {QString::fromLatin1(kUsage)});
    const bool exporting = args[0] == "export"_L1;
    RegisterArgs a;
    if (const auto problem = parse(args.mid(1), exporting, a))
        return usageError(*problem);
    return exporting ? runExport(a) : runImport(a);
}
