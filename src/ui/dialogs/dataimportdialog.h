// DataImportDialog: the dialog "ファイルデータを取り込む" that reads an export file and merges checked
// parts of it into the document's tree; and the main window's command that opens it.
// DataImportDialog was CDataInport in the Windows program's sources.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "commands/treecommands.h"
#include "exchange/exchangetree.h"
#include "model/customerdb.h"
#include "store/store.h"
#include "ui/document/dataselection.h"

class CAppSettings;
class CheckListView;
class MeasurementDocument;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class DataImportDialog : public QDialog {
    Q_OBJECT
public:
    // The document's tree: replaced as a whole after each confirmed, complete import, never
    // touched otherwise (it must outlive the dialog).
    explicit DataImportDialog(CCustomerDB& document, QWidget* parent = nullptr);
    ~DataImportDialog() override;

    // The level titles; AppSettings() unless set.
    void SetSettings(CAppSettings* settings) { m_settings = settings; }
    // Called after the document's tree was replaced (the document saves its store), with the
    // store as it was before the import and the changes.
    using CommitHandler =
        std::function<void(const CCustomerDB& before, const std::vector<cmd::Change>& changes)>;
    void SetCommitHandler(CommitHandler commit) { m_commit = std::move(commit); }
    // The approved sets, which an import may not change (not owned; may stay unset).
    void SetLocks(const cmd::Locks* locks) { m_locks = locks; }
    // The reader's waits for a file held by another program; tests shorten them.
    void SetStoreOptions(const StoreOptions& options) { m_storeOptions = options; }

    // Fills the destination tree from the document and shows the path prompt. exec() and the
    // first show call it when the caller has not.
    void OnInitDialog();
    // "参照...": the file chooser, then LoadFile with the chosen path.
    void OnBrowse();
    // Reads an export file into the file tree (replaced only when the whole file was read).
    // True on success.
    bool LoadFile(const QString& path);
    // A node of the file tree became current: the list shows its children.
    void OnSelectNode();
    // "↓取り込み": merges the checked rows into the destination node. True when the document
    // took the import; the dialog stays open either way.
    bool OnImport();
    int exec() override;
    QSize sizeHint() const override;

    const CCustomerDB& FileTree() const { return m_fileTree; }
    QLineEdit* PathEdit() const { return m_path; }
    QTreeWidget* SourceTree() const { return m_sourceTree; }
    CheckListView* List() const { return m_list; }
    QTreeWidget* DestinationTree() const { return m_destTree; }
    QPushButton* ImportButton() const { return m_import; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    CAppSettings& settings() const;
    void fillDestination(const ExchangeNode& select);

    CCustomerDB& m_document;
    const cmd::Locks* m_locks = nullptr;
    CCustomerDB m_fileTree;
    QString m_loadedPath; // the file m_fileTree was read from
    CAppSettings* m_settings = nullptr;
    CommitHandler m_commit;
    StoreOptions m_storeOptions;
    LevelTitles m_titles;
    ExchangeNode m_node; // the file node the list shows
    bool m_initialised = false;

    QLineEdit* m_path = nullptr;
    QPushButton* m_browse = nullptr;
    QTreeWidget* m_sourceTree = nullptr;
    CheckListView* m_list = nullptr;
    QPushButton* m_import = nullptr;
    QTreeWidget* m_destTree = nullptr;
};

// After an import inserted records into the selected set, moves the selection's index to the
// record it showed before (records are only added, so it is at or after the old index).
void FollowSelectedRecord(const CCustomerDB& db, DataSelection& selection,
                          const CMeasRecord& shown);

// The command "測定データをファイルから取り込む(&I)...": the dialog on the document's tree, each
// import saved at once; afterwards the document reloads the selection into the views.
void RunDataImport(QWidget* parent, MeasurementDocument& doc);
