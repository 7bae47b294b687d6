// analyze: the cable analysis (history, phase balance, step test, curve signs, judgment
// explanations) of one cable or one set, as JSON.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "analysis/analysissettings.h"
#include "analysisjson.h"
#include "settings/appfolder.h"
#include "settings/settingskeys.h"
#include "commands.h"
#include "namedrecord.h"
#include "model/customerdb.h"
#include "toolmessages.h"

using namespace Qt::StringLiterals;

namespace {

constexpr const char* kUsage = "analyze STORE --customer C --cable K [--set S]";

struct AnalyzeArgs : RecordNames {}; // no index: the whole cable or set

std::optional<QString> parse(const QStringList& args, AnalyzeArgs& a)
{
    const auto problem = ParseStoreArguments(
        args, {"--customer"_L1, "--cable"_L1, "--set"_L1}, a.store,
        [&](const QString& option, const QString& value) -> std::optional<QString> {
            (option == "--customer" ? a.customer : option == "--cable" ? a.cable : a.set) = value;
            return std::nullopt;
        });
    if (problem)
        return problem;
    if (a.store.isEmpty() || a.customer.isEmpty() || a.cable.isEmpty())
        return ToolText(ToolMsg::Expected, {QString::fromLatin1(kUsage)});
    return std::nullopt;
}

// The limits of system.ini in the application folder, read without writing anything.
AnalysisThresholds thresholds(const ToolContext& ctx)
{
    const auto folder = ApplicationFolder(ctx.homeOption, false);
    return folder ? ReadAnalysisThresholds(*folder + "/" + kSystemIniName) : AnalysisThresholds{};
}

int analyze(const ToolContext& ctx, const NamedRecord& found)
{
    const std::string text = CableAnalysisJson(*found.customer, *found.cable, found.set,
                                               thresholds(ctx));
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

} // namespace

int runAnalyzeCommand(const ToolContext& ctx, const QStringList& args)
{
    return RunOnNamedRecord(args, parse, [&](const AnalyzeArgs&, const NamedRecord& found) {
        return analyze(ctx, found);
    });
}
