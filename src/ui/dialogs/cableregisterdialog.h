// The dialog "ケーブル台帳": one cable's entry of the cable register (where it lies, voltage
// class, type, size, length, year laid, importance, retest interval, who looks after it,
// remarks) and its customer's default retest interval; the register's entries whose cable no
// longer exists; the register's CSV import and export. EditCableRegister opens it for a cable
// of the document's store.
#pragma once

#include <QDialog>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "workspace/cableregister.h"

class CCustomerDB;
class MeasurementDocument;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class CableRegisterDialog : public QDialog {
    Q_OBJECT
public:
    // reg: the register of the store whose tree is given (open while the dialog is); customer
    // and cable: the tree's CP932 names. globalInterval: the interval that applies when
    // neither the cable nor its customer has one (empty: not known here).
    CableRegisterDialog(ws::CableRegister& reg, const CCustomerDB& tree,
                        const std::string& customer, const std::string& cable,
                        std::optional<int> globalInterval, QWidget* parent = nullptr);

    // The fields as typed, read under the entry rules; nothing (with the message shown and
    // the field focused) when one is refused.
    std::optional<ws::CableRegisterEntry> ReadEntry();
    // The customer's default interval as typed; false (message shown) when refused.
    bool ReadCustomerInterval(std::optional<int>& months);
    // Reads and writes both (one transaction, journaled). False when a field was refused or
    // the write failed (the message was shown).
    bool Save(const ws::Actor& actor, int64_t now);

    // The text telling which interval applies while the cable's own is empty.
    QString IntervalNote() const;

    QLineEdit* Field(const char* name) const; // by object name: "location", "voltage", ...
    QComboBox* TypeBox() const { return m_type; }
    QComboBox* ImportanceBox() const { return m_importance; }
    QPushButton* AcceptSectionButton() const { return m_acceptSection; }
    QPushButton* AcceptLengthButton() const { return m_acceptLength; }
    QListWidget* OrphanList() const { return m_orphans; }
    QPushButton* RemoveOrphanButton() const { return m_removeOrphan; }
    QPushButton* ImportButton() const { return m_import; }
    QPushButton* ExportButton() const { return m_export; }

    void done(int result) override;

    // Set by EditCableRegister: who writes, for OK and the orphan and CSV buttons.
    void SetActor(ws::Actor actor) { m_actor = std::move(actor); }
    // Where the CSV buttons start (the store's folder).
    void SetFolder(QString folder) { m_folder = std::move(folder); }

    void OnImport();
    void OnExport();
    void OnRemoveOrphan();

private:
    void fill(const ws::CableRegisterEntry& e);
    void updateIntervalNote();
    void refreshOrphans();
    QLineEdit* addLine(const char* name);

    ws::CableRegister& m_reg;
    const CCustomerDB& m_tree;
    std::string m_customer, m_cable;
    std::optional<int> m_global;
    ws::Actor m_actor;
    QString m_folder;
    std::vector<ws::CableRegisterEntry> m_orphanEntries;

    QLineEdit* m_location = nullptr;
    QLineEdit* m_voltage = nullptr;
    QComboBox* m_type = nullptr;
    QLineEdit* m_section = nullptr;
    QLineEdit* m_length = nullptr;
    QLineEdit* m_year = nullptr;
    QComboBox* m_importance = nullptr;
    QLineEdit* m_interval = nullptr;
    QLabel* m_intervalNote = nullptr;
    QLineEdit* m_person = nullptr;
    QLineEdit* m_remarks = nullptr;
    QLineEdit* m_customerInterval = nullptr;
    QLabel* m_sectionProposal = nullptr;
    QLabel* m_lengthProposal = nullptr;
    QPushButton* m_acceptSection = nullptr;
    QPushButton* m_acceptLength = nullptr;
    QListWidget* m_orphans = nullptr;
    QPushButton* m_removeOrphan = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
};

namespace cableregisterui {

// Opens the ケーブル台帳 dialog for the cable of the document's store (CP932 names) and writes
// what OK keeps (creating the workspace at the first write). A viewed file's register is not
// opened. globalInterval: as CableRegisterDialog takes it. True when something was written.
bool EditCableRegister(QWidget* parent, MeasurementDocument& doc, const std::string& customer,
                       const std::string& cable, std::optional<int> globalInterval = {});

} // namespace cableregisterui
