// DataExportDialog: the dialog "測定データをファイルへ保存する" that writes checked parts of the
// customer tree to export files; and the main window's command that opens it.
// DataExportDialog was CDataCopy in the Windows program's sources.
#pragma once

#include <QDialog>

#include "exchange/exchangetree.h"
#include "model/customerdb.h"
#include "store/store.h"

class CAppSettings;
class CheckListView;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class DataExportDialog : public QDialog {
    Q_OBJECT
public:
    // The document's tree, only read (it must outlive the dialog).
    explicit DataExportDialog(const CCustomerDB& document, QWidget* parent = nullptr);
    ~DataExportDialog() override;

    // "SavedataDir" and the level titles; AppSettings() unless set.
    void SetSettings(CAppSettings* settings) { m_settings = settings; }
    // The writer's waits for a file held by another program; tests shorten them.
    void SetStoreOptions(const StoreOptions& options) { m_storeOptions = options; }

    // Fills the tree, the folder and the proposed file name, selects the root. exec() and the
    // first show call it when the caller has not.
    void OnInitDialog();
    // A tree node became current: the list shows its children.
    void OnSelectNode();
    // "参照...": the folder chooser replaces the folder text.
    void OnBrowse();
    // "保存": checks, asks, writes the checked rows. True when a file was written; the dialog
    // stays open either way.
    bool OnSave();
    int exec() override;
    QSize sizeHint() const override;

    QTreeWidget* Tree() const { return m_tree; }
    CheckListView* List() const { return m_list; }
    QLineEdit* FolderEdit() const { return m_folder; }
    QLineEdit* FileEdit() const { return m_file; }
    QPushButton* SaveButton() const { return m_save; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    CAppSettings& settings() const;

    const CCustomerDB& m_document;
    CAppSettings* m_settings = nullptr;
    StoreOptions m_storeOptions;
    LevelTitles m_titles;
    ExchangeNode m_node; // the node the list shows
    bool m_initialised = false;

    QTreeWidget* m_tree = nullptr;
    CheckListView* m_list = nullptr;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_browse = nullptr;
    QLineEdit* m_file = nullptr;
    QPushButton* m_save = nullptr;
};

// The command "測定データをファイルへ保存する(&O)...".
void RunDataExport(QWidget* parent, const CCustomerDB& document);
