// The 変更履歴 command: scopes for the selection, the workspace query, and the window.
#include "ui/dialogs/journalcommand.h"

#include <QFile>
#include <QWidget>

#include "model/cp932text.h"
#include "model/format.h"
#include "ui/common/uitext.h"
#include "ui/document/dataselection.h"
#include "ui/document/measurementdocument.h"
#include "workspace/treediff.h"
#include "workspace/workspace.h"

std::vector<JournalScope> JournalScopesFor(const CCustomerDB& db, const DataSelection& s)
{
    std::vector<JournalScope> scopes;
    scopes.push_back({QStringLiteral("すべての変更"), {}});
    const int c = db.customers.Find(s.customer);
    if (s.customer.empty() || c < 0)
        return scopes;
    ws::JournalFilter f;
    f.customer = cp932::toUtf8(s.customer);
    QString names = ui::toQ(s.customer);
    scopes.push_back({QStringLiteral("需要家: %1").arg(names), f});
    const CCustomer& customer = db.customers.At(c);
    const int k = customer.cables.Find(s.cable);
    if (s.cable.empty() || k < 0)
        return scopes;
    f.cable = cp932::toUtf8(s.cable);
    names += QStringLiteral(" / ") + ui::toQ(s.cable);
    scopes.push_back({QStringLiteral("ケーブル: %1").arg(names), f});
    const CCable& cable = customer.cables.At(k);
    const int m = cable.sets.Find(s.measData);
    if (s.measData.empty() || m < 0)
        return scopes;
    f.set = cp932::toUtf8(s.measData);
    names += QStringLiteral(" / ") + ui::toQ(s.measData);
    scopes.push_back({QStringLiteral("測定データ: %1").arg(names), f});
    const CMeasRecord* record = SelectedRecord(db, s);
    if (!record)
        return scopes;
    f.contentKey = ws::KeyText(*record);
    scopes.push_back({QStringLiteral("表示中の測定: %1 / %2 %3kV")
                          .arg(names, ui::toQ(mxrfmt::StartDateTimeText(*record)),
                               ui::toQ(mxrfmt::TestVoltageText(*record))),
                      f});
    return scopes;
}

JournalQuery WorkspaceJournalQuery(std::string storePath)
{
    return [storePath = std::move(storePath)](const ws::JournalFilter& filter) {
        JournalQueryResult result;
        try {
            ws::Workspace workspace;
            const ws::OpenOutcome opened = workspace.Open(storePath, false);
            if (opened.status == ws::OpenStatus::Missing)
                return result;
            if (!opened.usable()) {
                result.problem =
                    !opened.error.empty() ? QString::fromStdString(opened.error)
                    : opened.status == ws::OpenStatus::TooNew
                        ? QStringLiteral("新しい版のプログラムが作ったワークスペースです")
                        : QStringLiteral("ワークスペースを開けません");
                return result;
            }
            result.workspace = true;
            result.entries = workspace.Query(filter);
        } catch (const std::exception& e) {
            result.problem = QString::fromUtf8(e.what());
        }
        return result;
    };
}

JournalWindow* ShowJournalWindow(QWidget* frame, MeasurementDocument& doc, QPrinter& printer,
                                 CAppSettings& settings, int scope)
{
    // One window per main window: a second command brings it forward with the new selection.
    auto* w = frame->findChild<JournalWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!w)
        w = new JournalWindow(frame, printer, settings);
    // The document's own connection while it has one; otherwise the file is opened for each
    // query, so a workspace made later (the first journaled change) is found.
    JournalQuery byPath = WorkspaceJournalQuery(doc.DataFilePath());
    w->SetQuery([&doc, byPath](const ws::JournalFilter& filter) {
        ws::Workspace* open = doc.Workspace();
        if (!open)
            return byPath(filter);
        JournalQueryResult result;
        result.workspace = true;
        try {
            result.entries = open->Query(filter);
        } catch (const std::exception& e) {
            result.problem = QString::fromUtf8(e.what());
        }
        return result;
    });
    w->SetScopes(JournalScopesFor(doc.Store(), doc.Selection()), scope);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}
