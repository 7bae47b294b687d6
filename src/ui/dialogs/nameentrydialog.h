// NameEntryDialog: the modal dialog "新規追加" that asks for the name of a new customer, cable or
// measurement data set. It holds the name to the level's byte limit while the user types and
// refuses names that cannot be stored or that a sibling already has.
// NameEntryDialog was CAddItem in the Windows program's sources.
#pragma once

#include <QDialog>

#include <string>

class CCustomerDB;
class QLabel;
class QLineEdit;

// Asks before a name is left empty (a rename cleared in place, 追加 with an empty field), with
// いいえ focused; levelName says what the name is ("需要家名"). True when the user wants the
// empty name.
bool ConfirmEmptyName(QWidget* parent, const QString& levelName);

class NameEntryDialog : public QDialog {
    Q_OBJECT
public:
    explicit NameEntryDialog(QWidget* parent = nullptr);
    ~NameEntryDialog() override;

    // The caller's values before the dialog opens: the level (entry::NameKind), the positions
    // of the customer and cable whose children are checked, and the tree (not owned; it must
    // outlive the dialog).
    void SetKind(int kind) { m_kind = kind; }
    void SetCustomer(int position) { m_customer = position; }
    void SetCable(int position) { m_cable = position; }
    void SetTree(const CCustomerDB* tree) { m_tree = tree; }

    // The accepted name (CP932) after OK.
    const std::string& Name() const { return m_name; }
    int Limit() const { return m_limit; }

    // Sets the prompt and the limit of the kind; exec() calls it when the caller has not.
    void OnInitDialog();
    // Checks the text and closes with Accepted; false (a message shown, the dialog open) when
    // the name is refused or the user does not want it empty.
    bool OnOK();
    int exec() override;

    QLabel* Prompt() const { return m_prompt; }
    QLineEdit* NameEdit() const { return m_edit; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onTextChanged();

    int m_kind = 0;
    int m_customer = -1;
    int m_cable = -1;
    const CCustomerDB* m_tree = nullptr;
    int m_limit = 40;
    std::string m_name;
    bool m_initialised = false;

    QLabel* m_prompt = nullptr;
    QLineEdit* m_edit = nullptr;
};
