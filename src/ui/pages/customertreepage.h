// CustomerTreePage: the customer tree page in its edit and display modes, the sheet that hosts it,
// and the two menu commands that open it ("需要家情報の編集", "測定データの表示"). What the
// buttons and edits do to the tree is in CustomerTreeModel; the page turns widget events into
// those operations and refreshes the lists.
// CustomerTreePage was CPgMstEdit in the Windows program's sources.
#pragma once

#include <QWidget>

#include <functional>
#include <vector>

#include "link/receivedrecord.h"
#include "ui/document/dataselection.h"
#include "workspace/provenance.h"
#include "ui/pages/customertreemodel.h"

class CAppSettings;
class ConditionGrid;
class MeasurementDocument;
class CxLogFile;
class ReportList;
class TreePropertySheet;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QMenu;
class QPushButton;
class QRect;

// The approvals a data page honours and offers: the approved sets, which the page refuses to
// change (with the reason), and the context menu's commands of the set list. The locks are
// not owned; after change() returned true they already tell the new state.
struct PageApprovals {
    const cmd::Locks* locks = nullptr;
    // approve: "承認..." (true) or "承認の取り消し..." (false) for the set; true when done.
    std::function<bool(QWidget* parent, const cmd::TreePath& set, bool approve)> change;
    // The ケーブル台帳 dialog for a cable of the store (path: customer and cable); true when it
    // wrote. Empty: the page does not offer it.
    std::function<bool(QWidget* parent, const cmd::TreePath& cable)> editRegister;
};

class CustomerTreePage : public QWidget {
    Q_OBJECT
public:
    CustomerTreePage(PageMode mode, CCustomerDB& tree, CAppSettings& settings, QWidget* parent = nullptr);
    ~CustomerTreePage() override;

    // The approvals the page honours and offers (none by default).
    void SetApprovals(PageApprovals approvals);
    // The set list's context menu for its selected row: "承認..." and "承認の取り消し...",
    // enabled as they apply; nullptr without approvals. The caller owns the menu.
    QMenu* CreateSetMenu();
    void OnApproveSet(bool approve);
    // "台帳...": the cable register's dialog for the selected cable.
    void OnEditRegister();
    // nullptr until SetApprovals offers the register.
    QPushButton* RegisterButton() const { return m_registerButton; }

    // Selects by names and fills every list (the opening step).
    void SetSelection(const DataSelection& sel);
    // The selection the lists show.
    DataSelection Selection() const { return m_model.CurrentSelection(); }

    // OK of the sheet: commits an in-place editor still open, then false (with the message)
    // when that edit was refused or display mode has no measurement chosen.
    bool OnApply();
    // Commits every open in-place editor of the page now; false when one was refused.
    bool CommitOpenEdits();
    // Closing the sheet: asks first while received records are not registered (transfer
    // mode). True when the sheet may close.
    bool ConfirmClose();
    // True once the page changed its tree (a name, a measurement, a condition, a registration)
    // or holds an edit not yet handed over.
    bool HasChanges() const;
    // Closing the sheet without OK: when it holds changes, asks 「変更を破棄しますか？」 with
    // いいえ focused. True when the sheet may close.
    bool ConfirmDiscard();

    // Buttons (levels of customertree::Level). Add asks for the name with the name entry dialog.
    void OnAdd(int level);
    void OnDelete(int level);
    void OnDeleteMeas();
    // The in-place edit of a name ended (text as typed).
    void OnNameEdited(int level, int row, const QString& text);
    // The edit query and the end of an edit of the measurement list.
    bool OnMeasEditQuery(int row, int column);
    void OnMeasEdited(int row, int column, const QString& text);
    // The condition table's two callbacks.
    void OnConditionEdited(int rowId, const QString& text);
    void OnConditionButton(int rowId);

    // Transfer mode: the line settings and log a reception uses, the received records.
    void SetReceptionSource(const CCommSetting& comm, CxLogFile* log);
    // links: where the records lie in the reception's archive (by content key; may be empty).
    void SetReceived(std::vector<ReceivedRecord> records, std::vector<ws::ReceivedLink> links = {});
    const std::vector<ReceivedRecord>& Received() const { return m_received; }
    // The archive links of the records registered so far in this sheet, written beside the
    // store once the sheet's OK has saved them.
    const std::vector<ws::ReceivedLink>& RegisteredLinks() const { return m_registeredLinks; }
    // "データ転送開始", "データをファイルから読み込む", "← 登録".
    void StartReception();
    void ReadReceptionFromFile();
    bool RegisterChecked();

    CustomerTreeModel& Model() { return m_model; }
    ReportList* TransferList() const { return m_transfer; }
    // True once the criteria dialog changed records of a set in bulk (limits or switches
    // applied to past data): the commit then backs the store up first.
    bool BulkChanged() const { return m_bulkChanged; }
    ReportList* NameList(int level) const { return m_names[level]; }
    ReportList* MeasList() const { return m_meas; }
    ConditionGrid* Grid() const { return m_grid; }
    QLabel* Caption() const { return m_caption; }
    QPushButton* AddButton(int level) const { return m_add[level]; }
    QPushButton* DeleteButton(int level) const { return m_delete[level]; }
    QPushButton* DeleteMeasButton() const { return m_deleteMeas; }

signals:
    // A double click chose a measurement (display mode): the sheet presses OK.
    void chooseRequested();

private:
    void buildLayout();
    void setupLists();
    void refreshFrom(int level);
    void refreshMeas();
    void refreshConditions();
    void setupTransfer();
    void runReception(const std::string& replayFile);
    void rememberQueryRows();
    void restoreQueryRows(int below);
    void refuse(const QString& text);
    // The entry at (level, row) is about to be renamed to an empty name: asks first.
    bool confirmEmptyName(int level);
    // Shows the refusal and true when the entry (or the selected set, for level 3) is or holds
    // an approved set.
    bool refusedAsApproved(int level, int row);
    void markChanged() { m_changed = true; }

    CustomerTreeModel m_model;
    CAppSettings& m_settings;
    PageApprovals m_approvals;
    // Edits refused so far (range, characters, names): OK stays open when committing the
    // last open editor added one.
    int m_refusals = 0;
    bool m_bulkChanged = false;
    // Something in the tree changed since the page opened.
    bool m_changed = false;
    // The selected rows of the three name lists when the last edit query arrived.
    int m_queryRows[3] = {-1, -1, -1};

    QGroupBox* m_group = nullptr;
    ReportList* m_names[3] = {};
    QPushButton* m_add[3] = {};
    QPushButton* m_delete[3] = {};
    ConditionGrid* m_grid = nullptr;
    QLabel* m_caption = nullptr;
    ReportList* m_meas = nullptr;
    QPushButton* m_deleteMeas = nullptr;
    QPushButton* m_registerButton = nullptr; // made when the register is offered
    QHBoxLayout* m_cableButtons = nullptr;

    // Transfer mode only.
    std::vector<ReceivedRecord> m_received;
    std::vector<ws::ReceivedLink> m_links;
    std::vector<ws::ReceivedLink> m_registeredLinks;
    CCommSetting m_liveComm;
    CxLogFile* m_log = nullptr;
    ReportList* m_transfer = nullptr;
    QPushButton* m_register = nullptr;
    QPushButton* m_startReception = nullptr;
    QPushButton* m_readFile = nullptr;
};

// Runs the sheet with the page in the mode on the tree; on OK writes the page's selection
// back. Returns true on OK.
// In transfer mode a reception uses liveComm (the document's settings) and log. bulkChange,
// when given, tells whether the committed tree holds a bulk change of past records;
// registeredLinks, when given, receives the archive links of the records registered.
// approvals, when given, are honoured and offered by the page.
bool RunDataPageSheet(QWidget* parent, PageMode mode, CCustomerDB& tree, DataSelection& selection,
                      CAppSettings& settings, const CCommSetting* liveComm = nullptr,
                      CxLogFile* log = nullptr, bool* bulkChange = nullptr,
                      cmd::ChangeObserver* observer = nullptr,
                      std::vector<ws::ReceivedLink>* registeredLinks = nullptr,
                      const PageApprovals* approvals = nullptr);

// Sizes the data page sheet for the screen's available area (or the given one): its
// preferred size where the area has room, never larger than the area.
void FitDataPageSheet(TreePropertySheet& sheet, PageMode mode, const QRect* available = nullptr);

// How the commands run the sheet; tests replace it.
using DataSheetRunner =
    std::function<bool(PageMode mode, CCustomerDB& tree, DataSelection& selection)>;

// "需要家情報の編集": the sheet works on a deep copy of the store. OK replaces the store with the
// copy, saves it, remembers the customer and cable, and shows the selection; anything else
// drops the copy. Returns true on OK.
bool RunEditCustomer(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings,
                     DataSheetRunner runner = {});
// "測定データの転送": as the editing command, with the page in transfer mode.
bool RunTransferData(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings,
                     DataSheetRunner runner = {});
// "測定データの表示": starts from the remembered customer and cable and works on the store
// itself; OK remembers the choice and shows it.
bool RunShowData(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings,
                 DataSheetRunner runner = {});
