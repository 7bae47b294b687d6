// The approvals of the document's store through its workspace.
#include "ui/document/documentapprovals.h"

#include <ctime>

#include "ui/document/measurementdocument.h"
#include "workspace/workspace.h"

namespace docapprovals {
namespace {

// Runs f on the approvals of the document's workspace; error text when it cannot be opened.
template <class F> QString withApprovals(const MeasurementDocument& doc, bool create, F f)
{
    // A viewed file is only read: nothing beside it is opened for writing, not even its
    // workspace (opening one may migrate it or leave its WAL files).
    if (doc.IsViewing())
        return create ? QStringLiteral("読み取り専用で表示中のファイルです。") : QString();
    try {
        ws::Workspace workspace;
        const ws::OpenOutcome opened = workspace.Open(doc.DataFilePath(), create);
        if (!opened.usable())
            return create ? QString::fromStdString(opened.error.empty() ? workspace.Path()
                                                                        : opened.error)
                          : QString();
        ws::Approvals approvals(workspace);
        f(approvals);
        return {};
    } catch (const sqlite::Error& e) {
        return QString::fromStdString(e.what());
    }
}

} // namespace

cmd::LockedSets Locks(const MeasurementDocument& doc)
{
    cmd::LockedSets locks;
    withApprovals(doc, false, [&](ws::Approvals& a) { locks = a.Locks(); });
    return locks;
}

std::optional<ws::Approval> Find(const MeasurementDocument& doc, const cmd::TreePath& set)
{
    std::optional<ws::Approval> found;
    withApprovals(doc, false, [&](ws::Approvals& a) { found = a.Find(set); });
    return found;
}

Result Approve(MeasurementDocument& doc, const cmd::TreePath& set, const std::string& approver,
               const std::string& date, const ws::Actor& actor)
{
    Result r;
    const CCustomerDB& tree = doc.Store();
    r.error = withApprovals(doc, true, [&](ws::Approvals& a) {
        r.status = a.Approve(tree, set, approver, date, actor, std::time(nullptr));
    });
    return r;
}

Result Withdraw(MeasurementDocument& doc, const cmd::TreePath& set, const std::string& reason,
                const ws::Actor& actor)
{
    Result r;
    r.error = withApprovals(doc, true, [&](ws::Approvals& a) {
        r.status = a.Withdraw(set, reason, actor, std::time(nullptr));
    });
    return r;
}

} // namespace docapprovals
