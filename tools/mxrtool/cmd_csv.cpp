// csv: the CSV text output of one measurement of a store, the same bytes the GUI writes.
#include <QFile>

#include <cstdio>
#include <optional>
#include <string>

#include "commands.h"
#include "namedrecord.h"
#include "reportoutput.h"
#include "exchange/csvwriter.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "model/measdata.h"
#include "store/store.h"

using namespace Qt::StringLiterals;

namespace {

constexpr const char* kUsage =
    "csv STORE --customer C --cable K --set S --index I -o OUT.csv [--encoding cp932|utf8bom]";

struct CsvArgs : RecordNames {
    QString out;
    CsvEncoding encoding = CsvEncoding::Cp932; // not the dialog's remembered choice: scripts
                                               // get the same bytes wherever they run
};

// Parses the arguments; a text for the usage error when they do not fit.
std::optional<QString> parse(const QStringList& args, CsvArgs& a)
{
    bool indexGiven = false;
    const auto take = [&](const QString& arg, const QString& value) -> std::optional<QString> {
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
        return std::nullopt;
    };
    if (auto problem = ParseStoreArguments(args,
                                           {"--customer"_L1, "--cable"_L1, "--set"_L1, "--index"_L1,
                                            "-o"_L1, "--encoding"_L1},
                                           a.store, take))
        return problem;
    if (a.store.isEmpty() || a.customer.isEmpty() || a.cable.isEmpty() || a.set.isEmpty() ||
        a.out.isEmpty() || !indexGiven)
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kUsage)});
    return std::nullopt;
}

} // namespace

int runCsvCommand(const ToolContext& ctx, const QStringList& args)
{
    return RunOnNamedRecord(args, parse, [&](const CsvArgs& a, const NamedRecord& found) {
        // The names as the store spells them, as the main window passes them to the dialog.
        const CsvNames names{found.customer->name, found.cable->name, found.set->name};
        CsvWriteOptions options;
        options.encoding = a.encoding;
        const CsvWriteOutcome out = WriteCsv(QFile::encodeName(a.out).toStdString(), names,
                                             *found.record, ReadCsvLabels(ctx.homeOption), options);
        return out.ok ? 0 : ProgramFailure(ToolMsg::CsvNotWritten, {a.out}, out.message);
    });
}
