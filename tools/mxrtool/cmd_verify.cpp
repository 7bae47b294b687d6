// verify: the stored records of the application folder's store against the archived lines of
// the receptions they were registered from, as JSON.
#include <QFile>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "jsonout.h"
#include "model/cp932text.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"
#include "store/store.h"
#include "storesetup.h"
#include "toolmessages.h"
#include "workspace/provenance.h"
#include "workspace/workspace.h"

namespace {

constexpr const char* kUsage = "verify [--customer C [--cable K [--set S]]]";

void writeFields(JsonOut::Scope&& list, const std::vector<ws::FieldChange>& fields)
{
    for (const ws::FieldChange& f : fields) {
        JsonOut::Scope o = list.object(JsonOut::Layout::Inline);
        o.string("field", f.field);
        o.string("before", f.before);
        o.string("after", f.after);
    }
}

void writeVerdict(JsonOut::Scope&& o, const ws::RecordVerdict& v)
{
    o.string("customer", v.customer);
    o.string("cable", v.cable);
    o.string("set", v.set);
    o.integer("index", static_cast<long long>(v.index));
    o.string("contentKey", v.contentKey);
    o.string("state", ws::StateName(v.state));
    o.string("stateText", ws::StateText(v.state));
    if (v.reason != ws::NoReceptionReason::None) {
        o.string("reason", ws::ReasonName(v.reason));
        o.string("reasonText", ws::ReasonText(v.reason));
    }
    if (!v.detail.empty())
        o.string("detail", v.detail);
    writeFields(o.array("changed", JsonOut::Layout::Lines), v.changed);
    writeFields(o.array("explained", JsonOut::Layout::Lines), v.explained);
    if (v.source) {
        JsonOut::Scope s = o.object("source", JsonOut::Layout::Inline);
        s.string("archive", v.source->archive);
        s.integer("firstLine", v.source->firstLine);
        s.integer("lineCount", v.source->lineCount);
        s.string("sha256", v.source->sha256);
        s.integer("receivedAt", v.source->receivedAt);
    }
}

} // namespace

int runVerifyCommand(const ToolContext& ctx, const QStringList& args)
{
    cmd::TreePath scope;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a != "--customer" && a != "--cable" && a != "--set")
            return usageError(ToolMsg::UnknownOption, {a});
        if (i + 1 >= args.size())
            return usageError(ToolMsg::NeedsValue, {a});
        const std::optional<std::string> name = cp932::fromUtf8(args[++i].toStdString());
        if (!name)
            return usageError(ToolMsg::BadValue, {a});
        (a == "--customer" ? scope.customer : a == "--cable" ? scope.cable : scope.set) = *name;
    }
    // A narrower level needs the wider ones: a cable name means nothing without its customer.
    if ((!scope.cable.empty() && scope.customer.empty()) ||
        (!scope.set.empty() && scope.cable.empty()))
        return usageError(ToolMsg::Expected, {QString::fromLatin1(kUsage)});

    const std::optional<StoreSetup> setup = ReadStoreSetup(ctx);
    if (!setup)
        return ToolFailure(ToolMsg::NoAppFolder);
    CCustomerDB tree;
    const StoreOutcome loaded = LoadStore(tree, setup->storePath);
    if (!loaded.ok)
        return ProgramFailure(ToolMsg::StoreNotRead, {QFile::decodeName(setup->storePath.c_str())},
                              loaded.message);
    if (!scope.customer.empty() && tree.customers.Find(scope.customer) < 0)
        return ToolFailure(ToolMsg::NoCustomer,
                           {QString::fromStdString(cp932::toUtf8(scope.customer))});

    CIniFile system(setup->folder + "/" + kSystemIniName);
    const int triggValidSec = system.GetInt(inisec::Param, inikey::TriggValidSec, 10, false);
    ws::Workspace workspace;
    const ws::OpenOutcome opened = workspace.Open(setup->storePath, false);
    const std::vector<ws::RecordVerdict> verdicts = ws::VerifyRecords(
        opened.usable() ? &workspace : nullptr, setup->storePath, tree, scope, triggValidSec);
    const ws::VerifyCounts counts = ws::CountVerdicts(verdicts);

    JsonOut out;
    {
        JsonOut::Scope doc = out.object(JsonOut::Layout::Lines);
        doc.string("store", QFile::decodeName(setup->storePath.c_str()).toStdString());
        doc.boolean("workspace", opened.usable());
        doc.integer("match", counts.match);
        doc.integer("changed", counts.changed);
        doc.integer("noReception", counts.noReception);
        JsonOut::Scope list = doc.array("records", JsonOut::Layout::Lines);
        for (const ws::RecordVerdict& v : verdicts)
            writeVerdict(list.object(JsonOut::Layout::Lines), v);
    }
    out.text += '\n';
    std::fwrite(out.text.data(), 1, out.text.size(), stdout);
    std::fflush(stdout);
    if (counts.changed > 0) {
        ToolNote(ToolMsg::VerifyChanged, {QString::number(counts.changed)});
        return 1;
    }
    return 0;
}
