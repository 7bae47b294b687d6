// csv: the CSV text output of one measurement of a store, the same bytes the GUI writes.
#include <QFile>

#include <cstdio>
#include <optional>
#include <string>

#include "settings/appfolder.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"
#include "commands.h"
#include "namedrecord.h"
#include "exchange/csvwriter.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "store/store.h"

namespace {

constexpr const char* kUsage =
    "csv STORE --customer C --cable K --set S --index I -o OUT.csv [--encoding cp932|utf8bom]";

// The level labels of system.ini in the application folder, read without writing anything.
CsvLabels labels(const ToolContext& ctx)
{
    const auto folder = ApplicationFolder(ctx.homeOption, false);
    if (!folder)
        return CsvLabelsFor("", "", "");
    CIniFile ini(*folder + "/" + kSystemIniName);
    const auto title = [&](const char* key) {
        return ini.GetString(inisec::Title, key, "", false);
    };
    return CsvLabelsFor(title(inikey::TitleCustomer), title(inikey::TitleCable),
                        title(inikey::TitleMeasurement));
}

struct CsvArgs : RecordNames {
    QString out;
    CsvEncoding encoding = CsvEncoding::Cp932; // not the dialog's remembered choice: scripts
                                               // get the same bytes wherever they run
};

// Parses the arguments; a text for the usage error when they do not fit.
std::optional<QString> parse(const QStringList& args, CsvArgs& a)
{
    bool indexGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool option = arg == "--customer" || arg == "--cable" || arg == "--set" ||
                            arg == "--index" || arg == "-o" || arg == "--encoding";
        if (!option) {
            if (!a.store.isEmpty())
                return ToolText(ToolMsg::UnexpectedArgument, {arg});
            a.store = arg;
            continue;
        }
        if (i + 1 >= args.size())
            return ToolText(ToolMsg::NeedsValue, {arg});
        const QString value = args[++i];
        if (arg == "--customer")
            a.customer = value;
        else if (arg == "--cable")
            a.cable = value;
        else if (arg == "--set")
            a.set = value;
        else if (arg == "-o")
            a.out = value;
        else if (arg == "--encoding") {
            const auto encoding = CsvEncodingFromName(value.toStdString());
            if (!encoding)
                return ToolText(ToolMsg::EncodingChoice);
            a.encoding = *encoding;
        } else {
            bool ok = false;
            a.index = value.toInt(&ok);
            if (!ok || a.index < 0)
                return ToolText(ToolMsg::IndexFromZero);
            indexGiven = true;
        }
    }
    if (a.store.isEmpty() || a.customer.isEmpty() || a.cable.isEmpty() || a.set.isEmpty() ||
        a.out.isEmpty() || !indexGiven)
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kUsage)});
    return std::nullopt;
}


} // namespace

int runCsvCommand(const ToolContext& ctx, const QStringList& args)
{
    CsvArgs a;
    CCustomerDB db;
    NamedRecord found;
    if (const int failed = ParseAndLoadNamedRecord(args, a, parse, db, found))
        return failed;

    // The names as the store spells them, as the main window passes them to the dialog.
    const CsvNames names{found.customer->name, found.cable->name, found.set->name};
    CsvWriteOptions options;
    options.encoding = a.encoding;
    const CsvWriteOutcome out =
        WriteCsv(QFile::encodeName(a.out).toStdString(), names, *found.record, labels(ctx), options);
    return out.ok ? 0 : ProgramFailure(ToolMsg::CsvNotWritten, {a.out}, out.message);
}
