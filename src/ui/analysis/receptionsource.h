// The reception a record came from, as the judgment-basis panel shows it (受信元), and the
// verification of a whole set against its receptions (検証) in a window of its own.
#pragma once

#include <QDialog>
#include <QString>

#include <vector>

#include "workspace/provenance.h"

class QLabel;
class QTableWidget;

namespace receptionui {

// The panel's 受信元 lines of one verdict: archive file, lines, time received, the state and
// what differs.
QString SourceText(const ws::RecordVerdict& verdict);
// "field: before → after; ..." of the fields.
QString FieldsText(const std::vector<ws::FieldChange>& fields);
// One line for a verdict's state with its reason or the fields that differ.
QString StateLine(const ws::RecordVerdict& verdict);

} // namespace receptionui

// 検証: the records of a set, each with its state against its reception.
class VerificationDialog : public QDialog {
    Q_OBJECT
public:
    VerificationDialog(const QString& setTitle, std::vector<ws::RecordVerdict> verdicts,
                       QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }
    QLabel* Summary() const { return m_summary; }
    const std::vector<ws::RecordVerdict>& Verdicts() const { return m_verdicts; }

private:
    std::vector<ws::RecordVerdict> m_verdicts;
    QTableWidget* m_table = nullptr;
    QLabel* m_summary = nullptr;
};
