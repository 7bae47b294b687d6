// Shows a failed load or save of a data store file in the box its kind calls for, and a failed
// write of the settings file.
#pragma once

#include <QString>

#include <string>

#include "store/store.h"

class QWidget;

namespace ui {

// Nothing on success; the open failure as information, a refused signature or version with the
// error icon, any other failure (the three-line archive message) as a plain notice.
void ShowStoreMessage(QWidget* parent, const StoreOutcome& outcome);

// "設定ファイルを保存できませんでした\n<path>" with the error icon.
QString SettingsWriteFailureText(const std::string& iniPath);
void ShowSettingsWriteFailure(QWidget* parent, const std::string& iniPath);

} // namespace ui
