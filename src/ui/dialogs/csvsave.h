// Saving a window's table as a CSV file: where (asked, starting in the text-output folder or
// else the documents folder) and the outcome told to the user.
#pragma once

#include <QString>

#include <functional>
#include <string>

class CAppSettings;
class QWidget;

namespace csvsave {

// Writes bytes to path and tells the user the outcome; returns success.
bool WriteAndTell(QWidget* parent, const QString& path, const std::string& bytes);
// Asks where to save (fileName proposed; ".CSV" added to a name without a suffix), then writes
// what bytes() gives; false when the user declined or the write failed.
bool AskAndWrite(QWidget* parent, const CAppSettings& settings, const QString& fileName,
                 const std::function<std::string()>& bytes);

} // namespace csvsave
