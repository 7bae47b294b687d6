// JobReportDialog: "試験成績書の作成": the customer, the test dates and the sets of the visit
// (proposed from the dates, ticked in a tree), the sections, the cover's texts and the remarks;
// preview, print and PDF of the job report through the program's paged output.
#pragma once

#include <QDialog>

#include <array>
#include <memory>
#include <string>

#include "ui/analysis/jobdocument.h"
#include "ui/dialogs/printout.h"

class CAppSettings;
class CCustomerDB;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QTreeWidget;

class JobReportDialog : public QDialog {
    Q_OBJECT
public:
    // The tree and the settings outlive the dialog; customer (CP932) is chosen first.
    JobReportDialog(QWidget* parent, const CCustomerDB& db, const std::string& customer,
                    CAppSettings& settings, QPrinter& printer);
    ~JobReportDialog() override;

    // The request the fields describe (the settings' options, titles and limits included).
    jobdoc::JobRequest Request() const;
    // The document for the current fields; nothing without a customer.
    std::shared_ptr<jobdoc::JobBuild> Build() const;
    // The proposed PDF name: "<customer>_<first test day>_試験成績書.pdf".
    QString PdfProposal() const;

    // Ticks the sets measured between the dates (what a change of either date does).
    void ProposeSets();

    QComboBox* CustomerBox() const { return m_customer; }
    QDateEdit* FromEdit() const { return m_from; }
    QDateEdit* ToEdit() const { return m_to; }
    QTreeWidget* SetTree() const { return m_sets; }
    QCheckBox* HistoryCheck() const { return m_history; }
    QCheckBox* PhaseCheck() const { return m_phase; }
    QLineEdit* NumberEdit() const { return m_number; }
    QLineEdit* TesterEdit() const { return m_tester; }
    QLineEdit* WitnessEdit() const { return m_witness; }
    QPlainTextEdit* RemarksEdit() const { return m_remarks; }
    QLabel* CountLabel() const { return m_count; }

    void OnPreview();
    void OnPrint();
    void OnPdf();

private:
    const CCustomer* currentCustomer() const;
    void fillSets();
    void updateCount();
    printout::PagedOutput output() const;

    const CCustomerDB& m_db;
    CAppSettings& m_settings;
    QPrinter& m_printer;
    QComboBox* m_customer = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QTreeWidget* m_sets = nullptr;
    QCheckBox* m_history = nullptr;
    QCheckBox* m_phase = nullptr;
    QLineEdit* m_number = nullptr;
    QDateEdit* m_reportDate = nullptr;
    QLineEdit* m_tester = nullptr;
    QLineEdit* m_witness = nullptr;
    QPlainTextEdit* m_remarks = nullptr;
    QLabel* m_count = nullptr;
    std::array<QPushButton*, 3> m_outputs{};
};

// "試験成績書の作成(&J)...": the dialog on the selected customer (or the first).
void RunJobReport(QWidget* parent, const CCustomerDB& db, const std::string& customer,
                  CAppSettings& settings, QPrinter& printer);
