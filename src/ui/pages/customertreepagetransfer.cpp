// The transfer part of the customer tree page: the received records, a reception from the
// tester or a replay file, and the registration of checked records into the selected set.
#include <QColor>
#include <QFile>
#include <QStyle>
#include <QHeaderView>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStringList>

#include "settings/appsettings.h"
#include "model/cp932text.h"
#include "model/format.h"
#include "ui/dialogs/receptiondialog.h"
#include "ui/common/messages.h"
#include "ui/pages/customertreepage.h"
#include "commands/transferreg.h"
#include "workspace/treediff.h"
#include "ui/common/uitext.h"
#include "widgets/conditiongrid.h"
#include "widgets/reportlist.h"

using cp932::lit;

void CustomerTreePage::setupTransfer()
{
    m_transfer->SetColumns({{QString(), 23},
                            {QStringLiteral("測定日時"), 120},
                            {QStringLiteral("試験電圧\n(kV)"), 60},
                            {QStringLiteral("最終値\n(μA)"), 60},
                            {QStringLiteral("ﾄﾘｶﾞ設定\n(μA)"), 50}});
    m_transfer->SetCheckable(true);
    m_transfer->SetAllReadOnly();
    m_transfer->horizontalHeader()->setSectionsMovable(true);
    m_transfer->horizontalHeader()->setMinimumHeight(2 * fontMetrics().height() + 6);
    m_transfer->SetCellText([this](int row, int column) -> QString {
        if (row < 0 || static_cast<std::size_t>(row) >= m_received.size())
            return {};
        const CMeasRecord& r = m_received[static_cast<std::size_t>(row)];
        switch (column) {
        case 1: return ui::toQ(mxrfmt::StartDateTimeText(r));
        case 2: return ui::toQ(mxrfmt::TestVoltageText(r));
        case 3: return ui::toQ(mxrfmt::LastCurrentText(r));
        case 4: return ui::toQ(mxrfmt::TriggerLevelText(r));
        default: return {};
        }
    });
    // A record whose line count differs from the one its date block announced lost lines on
    // the way (its later points are shifted), and one whose date block could not be read has
    // the reception's time in place of its own: the row is tinted, carries a warning icon and
    // says why in its tool tip, so that the user can leave it unregistered.
    m_transfer->SetCellExtra([this](int row, int column, int role) -> QVariant {
        if (row < 0 || static_cast<std::size_t>(row) >= m_received.size())
            return {};
        const ReceivedRecord& r = m_received[static_cast<std::size_t>(row)];
        if (!r.LineCountMismatch() && !r.DateReplaced)
            return {};
        switch (role) {
        case Qt::ToolTipRole: {
            QStringList why;
            if (r.LineCountMismatch())
                why << QStringLiteral("データ数不一致 %1/%2: 受信中にデータ行が失われたため、"
                                      "以降の時刻がずれている可能性があります")
                           .arg(r.Announced)
                           .arg(r.LineCount);
            if (r.DateReplaced)
                why << QStringLiteral("日付データ異常: 測定日時が読めないため、"
                                      "受信した時刻を測定日時にしています");
            return why.join(QLatin1Char('\n'));
        }
        case Qt::DecorationRole:
            if (column == 1)
                return style()->standardIcon(QStyle::SP_MessageBoxWarning);
            return {};
        case Qt::BackgroundRole: return QColor(255, 228, 180);
        default: return {};
        }
    });
    connect(m_register, &QPushButton::clicked, this, [this] { RegisterChecked(); });
    connect(m_startReception, &QPushButton::clicked, this, &CustomerTreePage::StartReception);
    connect(m_readFile, &QPushButton::clicked, this, &CustomerTreePage::ReadReceptionFromFile);
}

void CustomerTreePage::SetReceptionSource(const CCommSetting& comm, CxLogFile* log)
{
    m_liveComm = comm;
    m_log = log;
}

void CustomerTreePage::SetReceived(std::vector<ReceivedRecord> records,
                                   std::vector<ws::ReceivedLink> links)
{
    m_received = std::move(records);
    m_links = std::move(links);
    m_transfer->Refill(static_cast<int>(m_received.size()), 0);
}

void CustomerTreePage::runReception(const std::string& replayFile)
{
    m_received.clear();
    const auto seed = static_cast<int32_t>(QRandomGenerator::global()->bounded(32768));
    ReceptionDialog dialog(m_liveComm, seed, true, this);
    dialog.SetEnvironment(CommReadEnvironment::FromSettings(m_settings));
    if (m_log)
        dialog.SetAppLog(m_log);
    if (!replayFile.empty())
        dialog.SetReplayFile(replayFile);
    std::vector<ReceivedRecord> records;
    std::vector<ws::ReceivedLink> links;
    if (dialog.exec() == QDialog::Accepted) {
        records = dialog.TakeRecords();
        links = dialog.TakeLinks();
    }
    SetReceived(std::move(records), std::move(links)); // empty after a cancel or a failure
}

void CustomerTreePage::StartReception()
{
    runReception({});
}

void CustomerTreePage::ReadReceptionFromFile()
{
    const QString path =
        ui::messages().openFileName(this, QStringLiteral("計測データファイルを開く"), QString(),
                                    QStringLiteral("測定ﾃﾞｰﾀﾌｧｲﾙ (*)"));
    if (path.isEmpty())
        return;
    runReception(QFile::encodeName(path).toStdString());
}

bool CustomerTreePage::RegisterChecked()
{
    const CMeasData* set = m_model.SelectedSet();
    if (!set) {
        ui::messages().error(
            this, ui::toQ(formatC(lit("登録する%s名称を選んでください").c_str(),
                                  m_settings.MeasurementLabel(lit("測定データ")).c_str())));
        return false;
    }
    if (refusedAsApproved(3, -1))
        return false;
    // The checked rows are looked at before the question, so that answering Yes never empties
    // the set when there is nothing to register.
    std::vector<int> checked;
    std::vector<CMeasRecord> records;
    for (int row = 0; row < m_transfer->RowCount(); ++row) {
        if (m_transfer->IsChecked(row) && static_cast<std::size_t>(row) < m_received.size()) {
            checked.push_back(row);
            records.push_back(m_received[static_cast<std::size_t>(row)]);
        }
    }
    if (checked.empty()) {
        ui::messages().error(this, QStringLiteral("登録する転送データをチェックしてください"));
        return false;
    }
    bool replace = false;
    if (set->RecordCount() > 0) {
        const std::string question =
            formatC(lit("現在選択している%"
                        "s名称には既にデータが存在しています\n既存データを全て消去してから転送デ"
                        "ータを新たに登録しますか？\n【はい】：既存データを全て消去し，転送データを"
                        "登録\n【いいえ"
                        "】：既存データはそのままで，転送データを追加します\n【キャンセル】：何もせ"
                        "ず戻ります")
                        .c_str(),
                    m_settings.MeasurementLabel(lit("測定データ")).c_str());
        // はい erases the set's measurements: いいえ (add beside them) has the focus.
        const auto answer = ui::messages().questionYesNoCancel(this, ui::toQ(question),
                                                               MessageInterface::Answer::No);
        if (answer == MessageInterface::Answer::Cancel)
            return false;
        replace = answer == MessageInterface::Answer::Yes;
    }
    const CCable& cable = m_model.Tree()
                              .customers.At(m_model.Row(customertree::LevelCustomer))
                              .cables.At(m_model.Row(customertree::LevelCable));
    const CTestCondition condition = transferreg::TemplateCondition(
        cable, m_model.Row(customertree::LevelMeasData), m_settings.DefaultConditions());
    if (!m_model.RegisterReceived(records, condition, replace))
        return false;
    // The registered records' links go with the sheet's OK (by content key, each link once).
    for (const CMeasRecord& r : records) {
        const std::string key = ws::KeyText(r);
        for (auto it = m_links.begin(); it != m_links.end(); ++it)
            if (it->contentKey == key) {
                m_registeredLinks.push_back(*it);
                m_links.erase(it);
                break;
            }
    }
    transferreg::RemoveAtPositions(m_received, checked);
    markChanged();

    m_model.SelectMeasRow(0);
    refreshMeas();
    refreshConditions();
    m_transfer->Refill(static_cast<int>(m_received.size()), 0);
    return true;
}

bool CustomerTreePage::ConfirmClose()
{
    if (m_model.Mode() != PageMode::Transfer || m_received.empty())
        return true;
    return ui::messages().questionYesNo(
               this, QStringLiteral("受信したデータが登録されていません。閉じますか？"),
               MessageInterface::Answer::No) == MessageInterface::Answer::Yes;
}
