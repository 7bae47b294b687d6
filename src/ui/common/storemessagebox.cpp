// The message box of a data store failure.
#include "ui/common/storemessagebox.h"

#include "ui/common/messages.h"
#include "ui/common/uitext.h"

namespace ui {

void ShowStoreMessage(QWidget* parent, const StoreOutcome& outcome)
{
    if (outcome.ok || outcome.message.empty())
        return;
    const QString text = ui::toQ(outcome.message);
    switch (outcome.status) {
    case StoreStatus::OpenFailed: ui::messages().information(parent, text); break;
    case StoreStatus::BadSignature:
    case StoreStatus::BadVersion: ui::messages().error(parent, text); break;
    default: ui::messages().notice(parent, text); break;
    }
}

QString SettingsWriteFailureText(const std::string& iniPath)
{
    return QStringLiteral("設定ファイルを保存できませんでした\n%1")
        .arg(QString::fromStdString(iniPath));
}

void ShowSettingsWriteFailure(QWidget* parent, const std::string& iniPath)
{
    ui::messages().error(parent, SettingsWriteFailureText(iniPath));
}

} // namespace ui
