// The row of output buttons the table windows (analysis, change history) end with.
#pragma once

#include <functional>

class QBoxLayout;
class QDialog;
class QPushButton;
class QString;

struct OutputButtonActions {
    std::function<void()> print, preview, pdf, csv;
};

// A button of the row: not a default button, named for tests and the walk.
QPushButton* AddRowButton(QDialog* dialog, QBoxLayout* row, const QString& text, const char* name,
                          std::function<void()> action);
// Adds 印刷(&P)..., 印刷プレビュー(&V), PDF出力(&D)..., CSV出力(&O)..., then at the right 閉じる.
void AddOutputButtons(QDialog* dialog, QBoxLayout* row, const OutputButtonActions& actions);
