// JournalWindow: the 変更履歴 window. The change journal of the store's workspace for a part of
// the tree (everything, a customer, a cable, a set or one record), as a table filtered by text,
// dates and the level of what was touched, with the whole of the chosen row below it; the
// rows shown go to CSV, PDF and the printer. It only reads the journal.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "ui/dialogs/printout.h"
#include "workspace/journalentry.h"
#include "workspace/journaltable.h"

class CAppSettings;
class JournalModel;
class QCheckBox;
class QComboBox;
class QDate;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QTableView;
class QTimer;

// A part of the tree the window can show, as the scope list offers it.
struct JournalScope {
    QString label;            // "需要家: A社"
    ws::JournalFilter filter; // names and record key; no dates, no limit
};

// What a query found: no workspace at all is not an error, only an empty journal.
struct JournalQueryResult {
    bool workspace = false; // a workspace is there
    QString problem;        // why it could not be read (empty: it could)
    std::vector<ws::JournalEntry> entries;
};
using JournalQuery = std::function<JournalQueryResult(const ws::JournalFilter&)>;

class JournalWindow : public QDialog {
    Q_OBJECT
public:
    // printer and settings belong to the main window and outlive this window.
    JournalWindow(QWidget* parent, QPrinter& printer, CAppSettings& settings);

    // The query that reads the journal, then the parts of the tree offered: setting the
    // scopes reads the current one.
    void SetQuery(JournalQuery query) { m_query = std::move(query); }
    void SetScopes(std::vector<JournalScope> scopes, int current = 0);
    // Reads the journal of the current scope again.
    void Reload();

    // The filter of the rows: text, dates (an invalid date: open) and level (-1: any). The
    // text box waits for a pause in typing; these apply at once.
    void SetTextFilter(const QString& text);
    void SetDateRange(const QDate& from, const QDate& to);
    void SetLevelFilter(int level);

    JournalModel* Model() const { return m_model; }
    QTableView* View() const { return m_view; }
    QLabel* StateLabel() const { return m_state; }
    QPlainTextEdit* Detail() const { return m_detail; }

    // The output buttons (tests call them directly).
    printout::PagedOutput Output() const;
    void OnPrint();
    void OnPreview();
    void OnPdf();
    bool OnCsv();
    // Writes the CSV of the rows shown to a path without asking; false (and the message
    // shown) on failure.
    bool WriteCsvTo(const QString& path);
    std::string CsvBytes() const;

private:
    void ApplyFilter();
    void ShowState();
    void ShowDetail();
    QString ScopeLabel() const;

    QPrinter& m_printer;
    CAppSettings& m_settings;
    JournalQuery m_query;
    std::vector<JournalScope> m_scopes;
    JournalQueryResult m_last;
    JournalModel* m_model = nullptr;
    QComboBox* m_scopeList = nullptr;
    QLineEdit* m_text = nullptr;
    QCheckBox* m_fromOn = nullptr;
    QDateEdit* m_from = nullptr;
    QCheckBox* m_toOn = nullptr;
    QDateEdit* m_to = nullptr;
    QComboBox* m_level = nullptr;
    QTimer* m_typing = nullptr;
    QLabel* m_state = nullptr;
    QTableView* m_view = nullptr;
    QPlainTextEdit* m_detail = nullptr;
};
