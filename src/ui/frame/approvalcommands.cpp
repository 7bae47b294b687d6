// The approval commands of the main window.
#include "ui/frame/approvalcommands.h"

#include <QAction>
#include <QMenu>

#include <memory>
#include <optional>

#include "settings/appsettings.h"
#include "ui/common/storemessagebox.h"
#include "ui/dialogs/approvaldialog.h"
#include "ui/document/measurementdocument.h"
#include "ui/frame/commandids.h"
#include "ui/frame/mainwindow.h"
#include "ui/pages/reportview.h"

namespace approvalcommands {
namespace {

// Whether the shown set is approved, asked of the workspace once per selection: the command
// states are updated on every scale change. A changed selection or tree, a command of ours
// and the opening of a menu ask again.
class ApprovalState {
public:
    explicit ApprovalState(MeasurementDocument& doc) : m_doc(doc) {}

    // The shown set, when the store holds it.
    std::optional<cmd::TreePath> ShownSet() const
    {
        // The const store: asking must never wait for a load.
        const MeasurementDocument& doc = m_doc;
        const DataSelection& sel = doc.Selection();
        if (doc.IsLoading() || !SelectedSet(doc.Store(), sel))
            return std::nullopt;
        return cmd::TreePath{sel.customer, sel.cable, sel.measData};
    }
    bool Approved()
    {
        const auto set = ShownSet();
        if (!set)
            return false;
        if (!m_known || m_knownFor != *set) {
            m_approved = approvalui::IsApproved(m_doc, *set);
            m_knownFor = *set;
            m_known = true;
        }
        return m_approved;
    }
    void Forget() { m_known = false; }

private:
    MeasurementDocument& m_doc;
    bool m_known = false;
    cmd::TreePath m_knownFor;
    bool m_approved = false;
};

} // namespace

void Wire(MainWindow& frame, std::function<CAppSettings&()> settings)
{
    MeasurementDocument& doc = *frame.Document();
    auto state = std::make_shared<ApprovalState>(doc);
    auto forgetAndUpdate = [&frame, state] {
        state->Forget();
        frame.UpdateCommandStates();
    };
    DocumentNotifier& notifier = doc.Notifier();
    for (auto signal : {&DocumentNotifier::storeReplaced, &DocumentNotifier::treeChanged})
        QObject::connect(&notifier, signal, &frame, [state] { state->Forget(); });
    // The menu asks the workspace afresh: another window or mxrtool may have changed it.
    for (int id : {commandid::ApproveSet, commandid::WithdrawApproval})
        for (QObject* menu : frame.Action(id)->associatedObjects())
            if (auto* m = qobject_cast<QMenu*>(menu))
                QObject::connect(m, &QMenu::aboutToShow, &frame, forgetAndUpdate);

    frame.SetCommandHandler(commandid::ApproveSet,
                            [&frame, &doc, state, settings, forgetAndUpdate] {
                                if (const auto set = state->ShownSet())
                                    approvalui::RunApprove(&frame, doc, settings(), *set);
                                forgetAndUpdate();
                            });
    frame.SetCommandEnabler(commandid::ApproveSet,
                            [state] { return state->ShownSet() && !state->Approved(); });
    frame.SetCommandHandler(commandid::WithdrawApproval,
                            [&frame, &doc, state, settings, forgetAndUpdate] {
                                if (const auto set = state->ShownSet())
                                    approvalui::RunWithdraw(&frame, doc, *set);
                                forgetAndUpdate();
                            });
    frame.SetCommandEnabler(commandid::WithdrawApproval, [state] { return state->Approved(); });

    frame.SetCommandHandler(commandid::PrintApproval, [&frame, settings] {
        CAppSettings& s = settings();
        s.PrtApproval = s.PrtApproval ? 0 : 1;
        // Kept at once, as the print settings of 環境設定 are.
        if (!s.SaveSettings())
            ui::ShowSettingsWriteFailure(&frame, s.IniPath());
        frame.UpdateCommandStates();
    });
    frame.ViewGraph()->SetApprovalLineSource([&doc, settings](const SelectionNames& names) {
        return approvalui::PrintLine(doc, settings(),
                                     {names.customer, names.cable, names.measData});
    });
}

} // namespace approvalcommands
