// The customer tree page: widgets, their wiring to CustomerTreeModel, the sheet and the commands.
#include "fleet/plansettings.h"
#include "ui/pages/customertreepage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <ctime>

#include "settings/appsettings.h"
#include "model/cp932text.h"
#include "model/number.h"
#include "ui/common/approvaltext.h"
#include "ui/dialogs/approvaldialog.h"
#include "ui/dialogs/cableregisterdialog.h"
#include "ui/dialogs/finalvaluedialog.h"
#include "ui/document/documentapprovals.h"
#include "ui/common/messages.h"
#include "ui/document/measurementdocument.h"
#include "workspace/workspace.h"
#include "ui/dialogs/nameentrydialog.h"
#include "ui/dialogs/judgmentparametersdialog.h"
#include "ui/dialogs/judgmentdisplaydialog.h"
#include "ui/common/uitext.h"
#include "widgets/conditiongrid.h"
#include "widgets/reportlist.h"
#include "widgets/treepropertysheet.h"

using cp932::lit;
using namespace customertree;

namespace {

QString q(const std::string& cp932)
{
    return ui::toQ(cp932);
}

// Text typed into the page as CP932; says so and gives nothing when it has no CP932 form.
std::optional<std::string> fromUser(QWidget* parent, const QString& text)
{
    auto bytes = ui::fromQ(text);
    if (!bytes)
        ui::messages().information(
            parent, QStringLiteral("使用できない文字が含まれています\n%1").arg(text));
    return bytes;
}

} // namespace

CustomerTreePage::CustomerTreePage(PageMode mode, CCustomerDB& tree, CAppSettings& settings, QWidget* parent)
    : QWidget(parent), m_model(tree, mode, settings), m_settings(settings)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(247, 247, 247));
    setPalette(pal);
    setAutoFillBackground(true);
    buildLayout();
    setupLists();
    SetSelection({});
    // A command refused for an approved set says why; nothing else tells the user.
    m_model.SetLockedCallback(
        [this](const cmd::TreePath& set) { refuse(ui::ApprovedRefusal(set)); });
}

void CustomerTreePage::SetApprovals(PageApprovals approvals)
{
    m_approvals = std::move(approvals);
    m_model.SetLocks(m_approvals.locks);
    ReportList* sets = m_names[LevelMeasData];
    if (m_approvals.change) {
        sets->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(sets, &QWidget::customContextMenuRequested, this, [this, sets](const QPoint& at) {
            std::unique_ptr<QMenu> menu(CreateSetMenu());
            if (menu)
                menu->exec(sets->viewport()->mapToGlobal(at));
        });
    }
    sets->Repaint();
    ReportList* cables = m_names[LevelCable];
    // The register's button exists only where the register is offered.
    if (m_approvals.editRegister && !m_registerButton) {
        m_registerButton = new QPushButton(QStringLiteral("台帳(&G)..."), this);
        m_registerButton->setObjectName(QStringLiteral("cableRegisterButton"));
        m_registerButton->setToolTip(QStringLiteral("選択したケーブルのケーブル台帳"));
        connect(m_registerButton, &QPushButton::clicked, this, &CustomerTreePage::OnEditRegister);
        m_cableButtons->insertWidget(2, m_registerButton);
        // After the cable list's delete button in the tab order.
        setTabOrder(m_delete[LevelCable], m_registerButton);
    }
    if (m_approvals.editRegister) {
        cables->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(cables, &QWidget::customContextMenuRequested, this,
                [this, cables](const QPoint& at) {
                    QMenu menu(this);
                    QAction* edit = menu.addAction(QStringLiteral("ケーブル台帳(&G)..."), this,
                                                   [this] { OnEditRegister(); });
                    edit->setEnabled(m_model.Row(LevelCable) >= 0);
                    menu.exec(cables->viewport()->mapToGlobal(at));
                });
    }
}

void CustomerTreePage::OnEditRegister()
{
    if (!m_approvals.editRegister || m_model.Row(LevelCable) < 0)
        return;
    // The register keeps the stored names: a rename or a new cable of this sheet not yet
    // kept would be registered under a name the store does not know.
    if (m_model.Editable() && HasChanges()) {
        ui::messages().information(
            this, QStringLiteral("変更を確定（OK）してからケーブル台帳を編集してください。"));
        return;
    }
    const DataSelection sel = Selection();
    m_approvals.editRegister(this, {sel.customer, sel.cable, {}});
}

QMenu* CustomerTreePage::CreateSetMenu()
{
    if (!m_approvals.change)
        return nullptr;
    auto* menu = new QMenu(this);
    const bool chosen = m_model.Row(LevelMeasData) >= 0;
    const bool approved = chosen && m_model.SelectedSetLocked().has_value();
    QAction* approve =
        menu->addAction(QStringLiteral("承認(&P)..."), this, [this] { OnApproveSet(true); });
    approve->setObjectName(QStringLiteral("approveSet"));
    approve->setEnabled(chosen && !approved);
    QAction* withdraw = menu->addAction(QStringLiteral("承認の取り消し(&W)..."), this,
                                        [this] { OnApproveSet(false); });
    withdraw->setObjectName(QStringLiteral("withdrawApproval"));
    withdraw->setEnabled(approved);
    return menu;
}

void CustomerTreePage::OnApproveSet(bool approve)
{
    if (!m_approvals.change || m_model.Row(LevelMeasData) < 0)
        return;
    // The approval is of the stored set: an edit of this sheet not yet kept would be approved
    // unseen, or lost to a sheet cancelled afterwards.
    if (approve && m_model.Editable() && HasChanges()) {
        ui::messages().information(this,
                                   QStringLiteral("変更を確定（OK）してから承認してください。"));
        return;
    }
    const DataSelection sel = Selection();
    if (m_approvals.change(this, {sel.customer, sel.cable, sel.measData}, approve))
        m_names[LevelMeasData]->Repaint();
}

bool CustomerTreePage::refusedAsApproved(int level, int row)
{
    const auto locked =
        level > LevelMeasData ? m_model.SelectedSetLocked() : m_model.LockedAt(level, row);
    if (!locked)
        return false;
    refuse(ui::ApprovedRefusal(*locked));
    return true;
}

CustomerTreePage::~CustomerTreePage() = default;

void CustomerTreePage::buildLayout()
{
    const bool editable = m_model.Editable();
    m_group = new QGroupBox(q(m_settings.CustomerLabel(lit("需要家")) + lit("データ")), this);
    for (int level = 0; level < 3; ++level) {
        m_names[level] = new ReportList(this);
        // Each level has keys of its own: add A, B, C and delete D, E, F from left to right.
        m_add[level] =
            new QPushButton(QStringLiteral("追加(&%1)...").arg(QChar(u'A' + level)), this);
        m_delete[level] =
            new QPushButton(QStringLiteral("削除(&%1)").arg(QChar(u'D' + level)), this);
        m_add[level]->setVisible(editable);
        m_delete[level]->setVisible(editable);
        connect(m_add[level], &QPushButton::clicked, this, [this, level] { OnAdd(level); });
        connect(m_delete[level], &QPushButton::clicked, this, [this, level] { OnDelete(level); });
    }
    m_grid = new ConditionGrid(this);
    m_caption = new QLabel(this);
    m_meas = new ReportList(this);
    m_deleteMeas = new QPushButton(QStringLiteral("削除(&X)"), this);
    m_deleteMeas->setVisible(editable);
    connect(m_deleteMeas, &QPushButton::clicked, this, &CustomerTreePage::OnDeleteMeas);

    // The layouts give the anchoring of the page: the customer list and the condition table
    // stretch down, the set list and the measurement list stretch right, the measurement list
    // keeps its height at the bottom.
    auto buttons = [this](int level) {
        auto* row = new QHBoxLayout;
        row->addWidget(m_add[level]);
        row->addWidget(m_delete[level]);
        if (level == LevelCable)
            m_cableButtons = row;
        row->addStretch();
        return row;
    };
    auto* treeGrid = new QGridLayout(m_group);
    treeGrid->addWidget(m_names[0], 0, 0, 3, 1);
    treeGrid->addLayout(buttons(0), 3, 0);
    treeGrid->addWidget(m_names[1], 0, 1);
    treeGrid->addLayout(buttons(1), 1, 1);
    treeGrid->addWidget(m_names[2], 0, 2);
    treeGrid->addLayout(buttons(2), 1, 2);
    treeGrid->addWidget(m_grid, 2, 1, 2, 2);
    treeGrid->setColumnStretch(0, 132);
    treeGrid->setColumnStretch(1, 81);
    treeGrid->setColumnStretch(2, 127);
    treeGrid->setRowStretch(0, 84);
    treeGrid->setRowStretch(2, 71);

    auto* left = new QVBoxLayout;
    left->addWidget(m_group, 206);
    left->addWidget(m_caption);
    left->addWidget(m_meas, 77);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_deleteMeas);
    bottom->addStretch();
    left->addLayout(bottom);

    // The received records on the right (transfer mode only).
    m_transfer = new ReportList(this);
    m_register = new QPushButton(QStringLiteral("← 登録(&R)"), this);
    m_startReception = new QPushButton(QStringLiteral("データ転送開始(&T)"), this);
    m_readFile = new QPushButton(QStringLiteral("データをファイルから読み込む(&L)"), this);
    auto* right = new QVBoxLayout;
    right->addWidget(m_transfer, 1);
    auto* transferButtons = new QHBoxLayout;
    transferButtons->addWidget(m_register);
    transferButtons->addWidget(m_startReception);
    transferButtons->addWidget(m_readFile);
    right->addLayout(transferButtons);
    const bool transfer = m_model.Mode() == PageMode::Transfer;
    for (QWidget* w : {static_cast<QWidget*>(m_transfer), static_cast<QWidget*>(m_register),
                       static_cast<QWidget*>(m_startReception), static_cast<QWidget*>(m_readFile)})
        w->setVisible(transfer);

    auto* all = new QHBoxLayout(this);
    all->addLayout(left, 550);
    if (transfer)
        all->addLayout(right, 182);
    else
        delete right;
}

void CustomerTreePage::setupLists()
{
    const bool editable = m_model.Editable();
    const int widths[3] = {200, 120, 210};
    for (int level = 0; level < 3; ++level) {
        ReportList* list = m_names[level];
        list->SetColumns({{q(ColumnTitle(m_settings, level)), widths[level]}});
        list->SetCellText([this, level](int row, int) { return q(m_model.ListName(level, row)); });
        list->SetSelectionCallback([this, level](int row) {
            m_model.SelectRow(level, row);
            refreshFrom(level + 1);
        });
        if (!editable)
            list->SetAllReadOnly();
        // The edit ends after the view closed its editor; it applies to the parents that were
        // selected when it began.
        list->SetEditQuery([this, level](int row, int) {
            rememberQueryRows();
            return m_model.Editable() && !refusedAsApproved(level, row);
        });
        list->SetEditEnded([this, level](int row, int, const QString& text) {
            restoreQueryRows(level);
            OnNameEdited(level, row, text);
        });
        connect(list, &ReportList::deleteRequested, this, [this, level] { OnDelete(level); });
    }

    m_meas->SetColumns({{QStringLiteral("測定日\n(年/月/日)"), 100},
                        {QStringLiteral("測定時\n(時/分/秒)"), 75},
                        {QStringLiteral("最終値\n(秒，μA)"), 130},
                        {QStringLiteral("試験電圧\n(kV)"), 60},
                        {QStringLiteral("ﾄﾘｶﾞ設定\n(μA)"), 50},
                        {QStringLiteral("成極比"), 70},
                        {QStringLiteral("弱点比"), 70}});
    QFont header(ui::pGothicFace());
    header.setPointSizeF(8.5);
    m_meas->horizontalHeader()->setFont(header);
    m_meas->horizontalHeader()->setMinimumHeight(2 * QFontMetrics(header).height() + 6);
    m_meas->horizontalHeader()->setStretchLastSection(false);
    if (editable) {
        m_meas->SetColumnKind(MeasDateColumn, ReportList::CellKind::Date);
        m_meas->SetColumnKind(MeasTimeColumn, ReportList::CellKind::Time);
    } else {
        m_meas->SetAllReadOnly();
    }
    m_meas->SetCellText([this](int row, int column) { return q(m_model.MeasCell(row, column)); });
    m_meas->SetSelectionCallback([this](int row) { m_model.SelectMeasRow(row); });
    m_meas->SetEditQuery([this](int row, int column) {
        rememberQueryRows();
        return OnMeasEditQuery(row, column);
    });
    m_meas->SetEditEnded([this](int row, int column, const QString& text) {
        restoreQueryRows(3);
        OnMeasEdited(row, column, text);
    });
    connect(m_meas, &ReportList::deleteRequested, this, &CustomerTreePage::OnDeleteMeas);
    connect(m_meas, &ReportList::rowDoubleClicked, this, [this](int) {
        if (m_model.Mode() == PageMode::Display && m_meas->SelectedRow() >= 0)
            emit chooseRequested();
    });

    setupTransfer();
    m_grid->SetEditedCallback([this](int id, const QString& text) { OnConditionEdited(id, text); });
    m_grid->SetButtonCallback([this](int id) { OnConditionButton(id); });
}

void CustomerTreePage::rememberQueryRows()
{
    for (int l = 0; l < 3; ++l)
        m_queryRows[l] = m_model.Row(l);
}

void CustomerTreePage::restoreQueryRows(int below)
{
    // A click elsewhere may have changed the selection between the query and the end of
    // the edit: the edit belongs to the parents selected when it began.
    bool changed = false;
    for (int l = 0; l < below && l < 3; ++l) {
        if (m_model.Row(l) != m_queryRows[l] && m_queryRows[l] < m_model.RowCount(l)) {
            m_model.SelectRow(l, m_queryRows[l]);
            changed = true;
        }
    }
    if (changed)
        refreshFrom(LevelCustomer);
}

void CustomerTreePage::SetSelection(const DataSelection& sel)
{
    m_model.SelectByNames(sel);
    refreshFrom(LevelCustomer);
}

void CustomerTreePage::refreshFrom(int level)
{
    for (int l = level; l < 3; ++l)
        m_names[l]->Refill(m_model.RowCount(l), m_model.Row(l));
    refreshMeas();
    refreshConditions();
}

void CustomerTreePage::refreshMeas()
{
    m_caption->setText(q(m_model.MeasCaption()));
    m_meas->Refill(m_model.MeasRowCount(), m_model.MeasRow());
}

void CustomerTreePage::refreshConditions()
{
    const auto rows = m_model.ConditionRows();
    if (rows.empty()) {
        m_grid->Clear();
        return;
    }
    const bool fill = m_grid->IsEmpty();
    for (const auto& r : rows) {
        if (fill)
            m_grid->AddRow({q(r.group), r.id, q(r.label), q(r.value), r.editor, q(r.choices)});
        else
            m_grid->SetValue(r.id, q(r.value));
    }
}

bool CustomerTreePage::CommitOpenEdits()
{
    const int refusals = m_refusals;
    for (ReportList* list : {m_names[0], m_names[1], m_names[2], m_meas})
        list->CommitOpenEdit();
    m_grid->CommitOpenEdit();
    return m_refusals == refusals;
}

void CustomerTreePage::refuse(const QString& text)
{
    ++m_refusals;
    ui::messages().error(this, text);
}

bool CustomerTreePage::OnApply()
{
    // An editor still open (OK clicked or Enter pressed while typing) is the user's last
    // edit: it goes into the tree before the sheet takes the tree. A refused one keeps the
    // sheet open with its message.
    if (!CommitOpenEdits())
        return false;
    if (m_model.Mode() != PageMode::Display)
        return true;
    if (m_model.Row(LevelMeasData) < 0 || m_model.MeasRow() < 0) {
        ui::messages().error(this, QStringLiteral("測定データを選んでください"));
        return false;
    }
    return true;
}

void CustomerTreePage::OnAdd(int level)
{
    if (!m_model.Editable() || (level > LevelCustomer && m_model.Row(level - 1) < 0))
        return;
    NameEntryDialog dialog(this);
    dialog.SetKind(level);
    dialog.SetCustomer(m_model.Row(LevelCustomer));
    dialog.SetCable(m_model.Row(LevelCable));
    dialog.SetTree(&m_model.Tree());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (m_model.Add(level, dialog.Name())) {
        markChanged();
        refreshFrom(level);
    }
}

void CustomerTreePage::OnDelete(int level)
{
    const int row = m_model.Row(level);
    if (!m_model.Editable() || row < 0 || refusedAsApproved(level, row))
        return;
    QString text = QStringLiteral("選択中のデータを削除します\nよろしいですか\n【 %1 】")
                       .arg(q(m_model.NameAt(level, row)));
    const std::string goes = m_model.DeleteContentsText(level);
    if (!goes.empty())
        text += QStringLiteral("\n\n") + q(goes);
    if (ui::messages().questionYesNo(this, text, MessageInterface::Answer::No) !=
        MessageInterface::Answer::Yes)
        return;
    m_model.Delete(level);
    markChanged();
    refreshFrom(level);
}

void CustomerTreePage::OnDeleteMeas()
{
    if (!m_model.Editable() || m_model.MeasRow() < 0 || refusedAsApproved(3, -1))
        return;
    // The question names the measurement, so the user sees which of many similar rows goes.
    const QString text = QStringLiteral("選択中のデータを削除します\nよろしいですか\n【 %1 】")
                             .arg(q(m_model.MeasSummary(m_model.MeasRow())));
    if (ui::messages().questionYesNo(this, text, MessageInterface::Answer::No) !=
        MessageInterface::Answer::Yes)
        return;
    m_model.DeleteMeas();
    markChanged();
    refreshMeas();
    refreshConditions();
}

bool CustomerTreePage::confirmEmptyName(int level)
{
    return ConfirmEmptyName(this, q(LevelName(m_settings, level)));
}

void CustomerTreePage::OnNameEdited(int level, int row, const QString& text)
{
    const auto name = fromUser(this, text);
    if (!name) {
        ++m_refusals;
        return;
    }
    const std::string old = m_model.NameAt(level, row);
    if (*name == old) {
        m_names[level]->Repaint();
        return;
    }
    // Delete in the editor clears the text: a name emptied by mistake is caught here. An
    // empty name stays possible, since stored files may hold one.
    if (text.trimmed().isEmpty() && !confirmEmptyName(level)) {
        ++m_refusals;
        m_names[level]->Repaint();
        return;
    }
    if (auto refusal = m_model.Rename(level, row, *name)) {
        if (!refusal->empty()) {
            ++m_refusals;
            ui::messages().information(this, q(*refusal));
        }
        m_names[level]->Repaint();
        return;
    }
    markChanged();
    refreshFrom(level);
}

bool CustomerTreePage::OnMeasEditQuery(int row, int column)
{
    if (!m_model.Editable() || refusedAsApproved(3, -1))
        return false;
    const CMeasData* set = m_model.SelectedSet();
    if (column != MeasFinalColumn && column != MeasSeikyokuColumn && column != MeasJyakutenColumn)
        return true;
    // These cells are edited in a dialog, never as text. The list asks only for a click on
    // the row already selected, so the first click selects and the second opens the dialog.
    if (!set || row < 0 || static_cast<std::size_t>(row) >= set->RecordCount())
        return false;
    const auto index = static_cast<std::size_t>(row);
    if (column == MeasFinalColumn) {
        if (auto choice = AskFinalValue(this, set->RecordAt(index));
            choice && m_model.ChooseFinalValue(row, std::move(choice->points), choice->finalIndex)) {
            markChanged();
            m_meas->Repaint();
        }
        return false;
    }
    const CMeasRecord& r = set->RecordAt(index);
    JudgmentDisplayDialog dialog(this);
    dialog.SetFlags(r.ShowSeikyoku, r.ShowJyakuten);
    if (dialog.exec() == QDialog::Accepted &&
        m_model.SetMeasDisplay(row, dialog.ShowSeikyoku(), dialog.ShowJyakuten())) {
        markChanged();
        m_meas->Repaint();
    }
    return false;
}

void CustomerTreePage::OnMeasEdited(int row, int column, const QString& text)
{
    const auto bytes = fromUser(this, text);
    if (!bytes) {
        ++m_refusals;
        return;
    }
    m_model.SelectMeasRow(m_model.MeasRow()); // keeps the row valid after outside changes
    if (const auto range = MeasCellRange(column);
        range && *bytes != m_model.MeasCell(row, column) && !entry::readInRange(*range, *bytes)) {
        refuse(QString::fromStdString(entry::refusalMessage(*range, *bytes)));
        m_meas->Repaint(); // the stored value again, not the refused text
        return;
    }
    if (m_model.EditMeasCell(row, column, *bytes)) {
        markChanged();
        refreshMeas();
    } else
        m_meas->Repaint();
}

void CustomerTreePage::OnConditionEdited(int rowId, const QString& text)
{
    const auto bytes = fromUser(this, text);
    if (!bytes) {
        ++m_refusals;
    } else if (const auto range = ConditionRange(rowId);
               range && m_model.SelectedSet() && !entry::readInRange(*range, *bytes)) {
        refuse(QString::fromStdString(entry::refusalMessage(*range, *bytes)));
    } else if (m_model.EditCondition(rowId, *bytes)) {
        markChanged();
    }
    // The table shows what is stored, in its own format, never the text as typed.
    refreshConditions();
}

void CustomerTreePage::OnConditionButton(int rowId)
{
    const CMeasData* set = m_model.SelectedSet();
    if (!m_model.Editable() || !set || set->RecordCount() == 0 || rowId < 13 ||
        refusedAsApproved(3, -1))
        return;
    JudgParamTarget target;
    target.applyCriteria = [this](const JudgParams& p) { return m_model.ApplyCriteria(p); };
    target.applyDisplayToRecords = [this](int32_t seikyoku, int32_t jyakuten) {
        return m_model.ApplyDisplayToRecords(seikyoku, jyakuten);
    };
    const JudgParamOutcome outcome = EditJudgParam(this, *set, m_settings, target);
    if ((outcome.accepted && outcome.change.limits) || outcome.change.recordFlags)
        m_bulkChanged = true;
    if (outcome.accepted || outcome.change.recordFlags)
        markChanged();
    if (outcome.accepted) {
        m_grid->Clear();
        refreshConditions();
    }
    // "過去データにも適応する" changed the records' switches even when the dialog was
    // cancelled: the ratio columns show them either way.
    if (outcome.accepted || outcome.change.recordFlags)
        m_meas->Repaint();
}

bool CustomerTreePage::HasChanges() const
{
    if (m_changed)
        return true;
    for (const ReportList* list : {m_names[0], m_names[1], m_names[2], m_meas})
        if (list->HasUndeliveredEdit())
            return true;
    return false;
}

bool CustomerTreePage::ConfirmDiscard()
{
    if (!HasChanges())
        return true;
    return ui::messages().questionYesNo(this, QStringLiteral("変更を破棄しますか？"),
                                        MessageInterface::Answer::No) ==
           MessageInterface::Answer::Yes;
}

void FitDataPageSheet(TreePropertySheet& sheet, PageMode mode, const QRect* available)
{
    // Room for every column of the lists when the screen has it; below the minimum the page
    // scrolls inside the sheet, whose buttons stay in view.
    const QSize preferred(mode == PageMode::Transfer ? 1360 : 1060, 720);
    const QSize minimum(640, 480);
    if (available)
        sheet.FitInto(*available, preferred, minimum);
    else
        sheet.FitToScreen(preferred, minimum);
}

bool RunDataPageSheet(QWidget* parent, PageMode mode, CCustomerDB& tree, DataSelection& selection,
                      CAppSettings& settings, const CCommSetting* liveComm, CxLogFile* log,
                      bool* bulkChange, cmd::ChangeObserver* observer,
                      std::vector<ws::ReceivedLink>* registeredLinks,
                      const PageApprovals* approvals)
{
    const QString title = ui::toQ(SheetTitle(settings, mode));
    TreePropertySheet sheet(title, parent);
    auto* page = new CustomerTreePage(mode, tree, settings);
    page->Model().SetObserver(observer);
    sheet.AddPage(page, title);
    page->SetReceptionSource(liveComm ? *liveComm : tree.comm, log);
    if (approvals)
        page->SetApprovals(*approvals);
    page->SetSelection(selection);
    sheet.SetApplyHook([page] { return page->OnApply() && page->ConfirmClose(); });
    sheet.SetCloseHook([page] { return page->ConfirmDiscard() && page->ConfirmClose(); });
    QObject::connect(page, &CustomerTreePage::chooseRequested, &sheet, [&sheet] { sheet.PressOk(); });
    FitDataPageSheet(sheet, mode);
    // The page's condition edits and criteria set the default conditions of the next
    // registration as they happen (a registration in the same sheet uses them); a sheet that
    // is not kept leaves them as they were.
    const DefaultConditionTexts defaults = settings.DefaultConditions();
    if (sheet.exec() != QDialog::Accepted) {
        settings.SetDefaultConditions(defaults);
        return false;
    }
    selection = page->Selection();
    if (bulkChange)
        *bulkChange = page->BulkChanged();
    if (registeredLinks)
        *registeredLinks = page->RegisteredLinks();
    return true;
}

namespace {

DataSheetRunner sheetRunner(QWidget* parent, CAppSettings& settings, DataSheetRunner runner)
{
    if (runner)
        return runner;
    return [parent, &settings](PageMode mode, CCustomerDB& tree, DataSelection& sel) {
        return RunDataPageSheet(parent, mode, tree, sel, settings);
    };
}

// The approvals of the document's store for a sheet: the approved sets, refreshed after the
// page's context menu approved or withdrew one.
struct SheetApprovals {
    SheetApprovals(MeasurementDocument& doc, CAppSettings& settings)
        : locks(docapprovals::Locks(doc))
    {
        page.locks = &locks;
        page.change = [this, &doc, &settings](QWidget* p, const cmd::TreePath& set, bool approve) {
            const bool done = approve ? approvalui::RunApprove(p, doc, settings, set)
                                      : approvalui::RunWithdraw(p, doc, set);
            if (done)
                locks = docapprovals::Locks(doc);
            return done;
        };
        page.editRegister = [&doc, &settings](QWidget* p, const cmd::TreePath& cable) {
            // The global interval shows beside an empty 試験周期, as the fleet plans it.
            const int globalInterval =
                fleet::ReadFleetSettings(settings.SystemIniPath()).plan.defaultIntervalMonths;
            return cableregisterui::EditCableRegister(p, doc, cable.customer, cable.cable,
                                                      globalInterval);
        };
    }
    SheetApprovals(const SheetApprovals&) = delete;
    SheetApprovals& operator=(const SheetApprovals&) = delete;

    cmd::LockedSets locks;
    PageApprovals page;
};

void rememberChoice(CAppSettings& settings, const DataSelection& sel)
{
    settings.SelCustomer = sel.customer;
    settings.SelCableName = sel.cable;
}

// The editing and transfer sheets: the page works on a deep copy; only OK commits it.
bool runOnCopy(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings, PageMode mode,
               DataSheetRunner runner)
{
    CCustomerDB copy = doc.Store(); // deep: the sheet edits only this
    DataSelection sel = doc.Selection();
    bool bulkChange = false;
    cmd::ChangeList changes;
    std::vector<ws::ReceivedLink> links;
    if (!runner) {
        runner = [&](PageMode m, CCustomerDB& tree, DataSelection& s) {
            const SheetApprovals approvals(doc, settings);
            return RunDataPageSheet(parent, m, tree, s, settings, &doc.Store().comm, doc.Log(),
                                    &bulkChange, &changes, &links, &approvals.page);
        };
    }
    if (!runner(mode, copy, sel))
        return false;
    // Criteria applied to past records change many measurements at once: keep the store as it
    // was before committing them.
    if (bulkChange)
        doc.BackUpStore();
    // The sheet's OK is one action: the journal keeps what its commands changed.
    CCustomerDB before = std::move(doc.Store());
    doc.Store() = std::move(copy);
    doc.Selection() = sel;
    rememberChoice(settings, sel);
    // Registered records keep their link to the reception once they are saved.
    if (doc.CommitChange(before, changes.changes) && !links.empty()) {
        const int64_t now = std::time(nullptr);
        if (ws::Workspace* w = doc.Workspace()) {
            try {
                ws::RecordProvenance(*w, doc.DataFilePath(), doc.Store(), {}, links, now);
            } catch (const std::exception&) {
                // Filed without their link: verification says 受信記録なし for them.
            }
        } else {
            ws::RecordProvenanceFor(doc.DataFilePath(), doc.Store(), links, now);
        }
    }
    doc.LoadSelectedMeasurement();
    return true;
}

} // namespace

bool RunEditCustomer(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings,
                     DataSheetRunner runner)
{
    return runOnCopy(parent, doc, settings, PageMode::Edit, std::move(runner));
}

bool RunTransferData(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings,
                     DataSheetRunner runner)
{
    return runOnCopy(parent, doc, settings, PageMode::Transfer, std::move(runner));
}

bool RunShowData(QWidget* parent, MeasurementDocument& doc, CAppSettings& settings, DataSheetRunner runner)
{
    DataSelection sel = doc.Selection();
    sel.customer = settings.SelCustomer;
    sel.cable = settings.SelCableName;
    if (!runner) {
        runner = [&](PageMode m, CCustomerDB& tree, DataSelection& s) {
            const SheetApprovals approvals(doc, settings);
            return RunDataPageSheet(parent, m, tree, s, settings, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, &approvals.page);
        };
    }
    if (!sheetRunner(parent, settings, std::move(runner))(PageMode::Display, doc.Store(), sel))
        return false;
    doc.Selection() = sel;
    rememberChoice(settings, sel);
    doc.LoadSelectedMeasurement();
    return true;
}
