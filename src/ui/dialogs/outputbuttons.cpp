#include "ui/dialogs/outputbuttons.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

QPushButton* AddRowButton(QDialog* dialog, QBoxLayout* row, const QString& text, const char* name,
                          std::function<void()> action)
{
    auto* b = new QPushButton(text, dialog);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, dialog, std::move(action));
    row->addWidget(b);
    return b;
}

void AddOutputButtons(QDialog* dialog, QBoxLayout* row, const OutputButtonActions& actions)
{
    AddRowButton(dialog, row, QStringLiteral("印刷(&P)..."), "printButton", actions.print);
    AddRowButton(dialog, row, QStringLiteral("印刷プレビュー(&V)"), "previewButton",
                 actions.preview);
    AddRowButton(dialog, row, QStringLiteral("PDF出力(&D)..."), "pdfButton", actions.pdf);
    AddRowButton(dialog, row, QStringLiteral("CSV出力(&O)..."), "csvButton", actions.csv);
    row->addStretch(1);
    AddRowButton(dialog, row, QStringLiteral("閉じる"), "closeButton", [dialog] { dialog->close(); });
}
