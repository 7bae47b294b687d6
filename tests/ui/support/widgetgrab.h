// Grabbing widgets to PNG files, for looking at a window a test has built.
#pragma once

#include <QString>

class QWidget;

namespace guitest {

// Lays the widget out, renders it and writes a PNG (folders are created). True on success.
bool grabToPng(QWidget* widget, const QString& path);

// Where a test writes its pictures: $MXR_GRAB_DIR, else the folder the build configured.
QString grabDir();

} // namespace guitest
