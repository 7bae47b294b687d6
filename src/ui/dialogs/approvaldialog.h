// The approval of a finished measurement data set: the dialog "承認" (approver's name and date),
// the dialog "承認の取り消し" (the reason), and the two commands that run them for a set of the
// document's store.
#pragma once

#include <QDialog>
#include <QString>

#include "commands/treecommands.h"

class CAppSettings;
class MeasurementDocument;
class QDateEdit;
class QLineEdit;
class QPushButton;

class ApprovalDialog : public QDialog {
    Q_OBJECT
public:
    // setWords names the set ("顧客Ａ－CV-1－2024春"); approver is the name proposed (the one
    // last entered on this workstation). The date proposed is today.
    ApprovalDialog(const QString& setWords, const QString& approver, QWidget* parent = nullptr);

    QString Approver() const;
    QString Date() const; // "yyyy/MM/dd"

    QLineEdit* ApproverEdit() const { return m_approver; }
    QDateEdit* DateEdit() const { return m_date; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QLineEdit* m_approver = nullptr;
    QDateEdit* m_date = nullptr;
    QPushButton* m_ok = nullptr;
};

class WithdrawApprovalDialog : public QDialog {
    Q_OBJECT
public:
    // approval is the approval's words ("山田 2026/12/11").
    WithdrawApprovalDialog(const QString& setWords, const QString& approval,
                           QWidget* parent = nullptr);

    QString Reason() const;
    QLineEdit* ReasonEdit() const { return m_reason; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QLineEdit* m_reason = nullptr;
    QPushButton* m_ok = nullptr;
};

namespace approvalui {

// Whether the set of the document's store is approved now.
bool IsApproved(const MeasurementDocument& doc, const cmd::TreePath& set);
// "承認...": asks the name and date and approves the set; the name is remembered for this
// workstation. True when the set was approved.
bool RunApprove(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings,
                const cmd::TreePath& set);
// "承認の取り消し...": asks the reason and withdraws the set's approval. True when withdrawn.
bool RunWithdraw(QWidget* parent, MeasurementDocument& doc, const cmd::TreePath& set);
// The printed report's approval line for a set ("承認：山田　2026/12/11"), empty when the set
// is not approved or the settings do not ask for the line.
QString PrintLine(const MeasurementDocument& doc, const CAppSettings& settings,
                  const cmd::TreePath& set);

} // namespace approvalui
