// FleetWindow: layout, the background build, filters, the detail pane and the output buttons.
#include "ui/analysis/fleetwindow.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "fleet/fleettable.h"
#include "model/customerdb.h"
#include "settings/appsettings.h"
#include "ui/analysis/fleetchart.h"
#include "ui/analysis/fleetmodel.h"
#include "ui/analysis/fleetpages.h"
#include "ui/common/programreport.h"
#include "ui/common/uitext.h"
#include "ui/dialogs/csvsave.h"
#include "ui/dialogs/outputbuttons.h"
#include "widgets/windowfit.h"
#include "workspace/workspace.h"

using fleet::Column;

namespace {

fleet::Day dayOf(const QDate& d)
{
    return std::chrono::sys_days{std::chrono::year_month_day{
        std::chrono::year{d.year()}, std::chrono::month{static_cast<unsigned>(d.month())},
        std::chrono::day{static_cast<unsigned>(d.day())}}};
}

QString q(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// Column widths as texts of their usual content.
struct Width {
    Column column;
    const char* sample;
};
constexpr Width kWidths[] = {
    {Column::Rank, "0000"},
    {Column::Customer, "需要家名称 00"},
    {Column::Cable, "ケーブル名称 00"},
    {Column::Location, "第0変電所 0号線"},
    {Column::VoltageClass, "00.0"},
    {Column::CableType, "CVT"},
    {Column::CrossSection, "000"},
    {Column::Length, "0000"},
    {Column::InstallYear, "0000"},
    {Column::Importance, "重要"},
    {Column::Person, "担当者名"},
    {Column::LastTest, "2026/12/31"},
    {Column::PhaseJudgment, "Ｒ:注意 Ｓ:注意 Ｔ:注意"},
    {Column::Trend, "傾向"},
    {Column::Score, "健全度"},
    {Column::Interval, "12 (24)"},
    {Column::NextDue, "2026/12/31"},
    {Column::Status, "期限間近 00"},
    {Column::Reason, "不平衡率 225 %のため周期 12 → 6 か月"},
};

} // namespace

FleetWindow::FleetWindow(QWidget* parent, QPrinter& printer, CAppSettings& settings)
    : QDialog(parent), m_printer(printer), m_settings(settings)
{
    setObjectName(QStringLiteral("fleetWindow"));
    setWindowTitle(QStringLiteral("設備一覧・試験計画 - %1").arg(ui::appTitle()));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);

    auto* filters = new QHBoxLayout;
    auto* textLabel = new QLabel(QStringLiteral("検索(&F):"), this);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("fleetText"));
    m_text->setPlaceholderText(QStringLiteral("名前、設置場所、理由など"));
    m_text->setClearButtonEnabled(true);
    textLabel->setBuddy(m_text);
    filters->addWidget(textLabel);
    filters->addWidget(m_text, 1);
    auto* customerLabel = new QLabel(QStringLiteral("需要家(&C):"), this);
    m_customer = new QComboBox(this);
    m_customer->setObjectName(QStringLiteral("fleetCustomer"));
    m_customer->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_customer->setMinimumContentsLength(12);
    customerLabel->setBuddy(m_customer);
    filters->addSpacing(8);
    filters->addWidget(customerLabel);
    filters->addWidget(m_customer);
    auto* statusLabel = new QLabel(QStringLiteral("状態(&T):"), this);
    m_status = new QComboBox(this);
    m_status->setObjectName(QStringLiteral("fleetStatus"));
    m_status->addItem(QStringLiteral("すべての状態"), -1);
    for (fleet::DueStatus s : {fleet::DueStatus::Overdue, fleet::DueStatus::DueSoon,
                               fleet::DueStatus::Planned, fleet::DueStatus::Untested})
        m_status->addItem(StatusIcon(s), QString::fromUtf8(fleet::StatusWord(s)),
                          static_cast<int>(s));
    statusLabel->setBuddy(m_status);
    filters->addSpacing(8);
    filters->addWidget(statusLabel);
    filters->addWidget(m_status);
    auto* asOfLabel = new QLabel(QStringLiteral("基準日(&B):"), this);
    m_asOf = new QDateEdit(QDate::currentDate(), this);
    m_asOf->setObjectName(QStringLiteral("fleetAsOf"));
    m_asOf->setCalendarPopup(true);
    m_asOf->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    asOfLabel->setBuddy(m_asOf);
    filters->addSpacing(8);
    filters->addWidget(asOfLabel);
    filters->addWidget(m_asOf);
    layout->addLayout(filters);

    auto* stateRow = new QHBoxLayout;
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("fleetState"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("fleetProgress"));
    m_progress->setVisible(false);
    stateRow->addWidget(m_state, 1);
    stateRow->addWidget(m_progress);
    layout->addLayout(stateRow);

    auto* split = new QSplitter(Qt::Vertical, this);
    m_model = new FleetModel(this);
    m_filter = new FleetFilter(this);
    m_filter->setSourceModel(m_model);
    m_filter->setSortRole(FleetModel::SortRole);
    m_view = new QTableView(split);
    m_view->setObjectName(QStringLiteral("fleetTable"));
    m_view->setModel(m_filter);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setWordWrap(false);
    m_view->setAlternatingRowColors(true);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(static_cast<int>(Column::Rank), Qt::AscendingOrder);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->verticalHeader()->setVisible(false);
    m_view->horizontalHeader()->setStretchLastSection(true);
    for (const Width& w : kWidths) {
        const QString title = QString::fromUtf8(fleet::ColumnTitle(w.column));
        const int width =
            std::max(m_view->fontMetrics().horizontalAdvance(QString::fromUtf8(w.sample)),
                     m_view->fontMetrics().horizontalAdvance(title) + 12);
        m_view->setColumnWidth(static_cast<int>(w.column), width + 16);
    }
    split->addWidget(m_view);

    auto* bottom = new QSplitter(Qt::Horizontal, split);
    m_detail = new QPlainTextEdit(bottom);
    m_detail->setObjectName(QStringLiteral("fleetDetail"));
    m_detail->setReadOnly(true);
    m_chart = new FleetDueChart(bottom);
    bottom->addWidget(m_detail);
    bottom->addWidget(m_chart);
    bottom->setStretchFactor(0, 1);
    bottom->setStretchFactor(1, 1);
    split->addWidget(bottom);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    m_historyButton = AddRowButton(this, buttons, QStringLiteral("経年変化(&H)"), "fleetHistory",
                                   [this] { OpenHistory(m_view->currentIndex().row()); });
    m_latestButton = AddRowButton(this, buttons, QStringLiteral("最新の測定(&M)"), "fleetLatest",
                                  [this] { OpenLatest(m_view->currentIndex().row()); });
    m_registerButton = AddRowButton(this, buttons, QStringLiteral("ケーブル台帳(&L)..."),
                                    "fleetRegister", [this] { EditRegister(); });
    m_registerButton->setEnabled(false);
    AddRowButton(this, buttons, QStringLiteral("最新の状態に更新(&R)"), "reloadButton",
                 [this] { Reload(); });
    buttons->addSpacing(12);
    AddOutputButtons(
        this, buttons,
        {[this] { OnPrint(); }, [this] { OnPreview(); }, [this] { OnPdf(); }, [this] { OnCsv(); }});
    layout->addLayout(buttons);

    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(250);
    connect(m_typing, &QTimer::timeout, this, &FleetWindow::ApplyFilter);
    connect(m_text, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
    connect(m_customer, &QComboBox::currentIndexChanged, this, &FleetWindow::ApplyFilter);
    connect(m_status, &QComboBox::currentIndexChanged, this, &FleetWindow::ApplyFilter);
    connect(m_asOf, &QDateEdit::dateChanged, this, &FleetWindow::Reload);
    connect(m_view, &QAbstractItemView::activated, this,
            [this](const QModelIndex& i) { OpenHistory(i.row()); });
    connect(m_model, &QAbstractItemModel::modelReset, this, &FleetWindow::ShowDetail);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &FleetWindow::ShowDetail);
    m_poll = new QTimer(this);
    m_poll->setInterval(100);
    connect(m_poll, &QTimer::timeout, this, &FleetWindow::ShowProgress);
    windowfit::FitToScreen(*this, QSize(1200, 680), QSize(640, 400));
}

FleetWindow::~FleetWindow()
{
    if (m_job)
        m_job->Stop();
}

void FleetWindow::SetSource(Source source)
{
    m_source = std::move(source);
    Reload();
}

void FleetWindow::SetAsOf(const QDate& day)
{
    if (m_asOf->date() == day)
        Reload();
    else
        m_asOf->setDate(day); // rebuilds through the signal
}

void FleetWindow::SetRegisterEditor(
    std::function<bool(QWidget*, const std::string&, const std::string&)> h)
{
    m_registerEditor = std::move(h);
    ShowDetail();
}

void FleetWindow::Reload()
{
    if (m_job) {
        m_job->Stop();
        m_job.reset();
    }
    if (!m_source.tree)
        return;
    const fleet::Day asOf = dayOf(m_asOf->date());
    try {
        ws::Workspace workspace;
        ws::Workspace* cache = nullptr;
        if (!m_source.storePath.empty() && workspace.Open(m_source.storePath, false).usable())
            cache = &workspace;
        m_job = std::make_unique<fleet::FleetJob>(
            m_source.tree(), cache,
            m_source.thresholds ? m_source.thresholds() : AnalysisThresholds{},
            m_source.settings ? m_source.settings() : fleet::FleetSettings{}, asOf);
    } catch (const std::exception& e) {
        m_job.reset();
        m_state->setText(
            QStringLiteral("設備一覧を作成できませんでした: %1").arg(QString::fromUtf8(e.what())));
        return;
    }
    const std::size_t total = m_job->Total();
    m_progress->setRange(0, static_cast<int>(total));
    m_progress->setValue(0);
    m_progress->setVisible(total > 0);
    if (total > 0) {
        m_state->setText(QStringLiteral("測定データの要約を作成しています (初回のみ)…"));
        m_poll->start();
    }
    m_job->Start([this] {
        QMetaObject::invokeMethod(
            this, [this] { OnJobDone(); }, Qt::QueuedConnection);
    });
}

void FleetWindow::WaitForBuild()
{
    OnJobDone();
}

void FleetWindow::ShowProgress()
{
    if (!m_job)
        return;
    const std::size_t done = m_job->Done();
    m_progress->setValue(static_cast<int>(done));
    m_state->setText(QStringLiteral("測定データの要約を作成しています (初回のみ)… %1 / %2 件")
                         .arg(QLocale::c().toString(static_cast<qulonglong>(done)),
                              QLocale::c().toString(static_cast<qulonglong>(m_job->Total()))));
}

void FleetWindow::OnJobDone()
{
    if (!m_job)
        return;
    fleet::FleetBuildOutcome out = m_job->Finish();
    m_job.reset();
    m_poll->stop();
    m_progress->setVisible(false);
    if (!out.complete) {
        m_state->setText(QStringLiteral("設備一覧の作成を中止しました"));
        return;
    }
    const QByteArray chosen = m_customer->currentData().toByteArray();
    m_model->SetPlans(std::move(out.plans));
    {
        const QSignalBlocker block(m_customer);
        m_customer->clear();
        m_customer->addItem(QStringLiteral("すべての需要家"), QByteArray());
        std::string last;
        std::vector<std::string> names;
        for (const fleet::CablePlan& p : m_model->Plans())
            names.push_back(p.customer);
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return CompareNames(a, b) < 0;
        });
        names.erase(std::unique(names.begin(), names.end(),
                                [](const std::string& a, const std::string& b) {
                                    return CompareNames(a, b) == 0;
                                }),
                    names.end());
        for (const std::string& n : names)
            m_customer->addItem(ui::toQ(n), QByteArray::fromStdString(n));
        const int again = m_customer->findData(chosen);
        m_customer->setCurrentIndex(again >= 0 ? again : 0);
    }
    m_chart->SetMonths(fleet::DueByMonth(m_model->Plans(), dayOf(m_asOf->date())));
    ApplyFilter();
    if (m_filter->rowCount() > 0 && !m_view->currentIndex().isValid())
        m_view->setCurrentIndex(m_filter->index(0, 0));
    emit built();
}

void FleetWindow::SetTextFilter(const QString& text)
{
    {
        const QSignalBlocker block(m_text);
        m_text->setText(text);
    }
    ApplyFilter();
}

void FleetWindow::SetCustomerFilter(const std::string& customer)
{
    const int i = customer.empty() ? 0 : m_customer->findData(QByteArray::fromStdString(customer));
    if (i >= 0)
        m_customer->setCurrentIndex(i);
    ApplyFilter();
}

void FleetWindow::SetStatusFilter(int status)
{
    const int i = m_status->findData(status);
    if (i >= 0)
        m_status->setCurrentIndex(i);
    ApplyFilter();
}

void FleetWindow::ApplyFilter()
{
    m_typing->stop();
    const int status = m_status->currentData().toInt();
    m_filter->SetFilter(
        m_text->text(), m_customer->currentData().toByteArray().toStdString(),
        status < 0 ? std::nullopt
                   : std::optional<fleet::DueStatus>(static_cast<fleet::DueStatus>(status)));
    ShowState();
    ShowDetail();
}

void FleetWindow::ShowState()
{
    if (m_job)
        return;
    int counts[4] = {0, 0, 0, 0};
    for (const fleet::CablePlan& p : m_model->Plans())
        ++counts[static_cast<int>(p.status)];
    const int total = m_model->rowCount();
    QString text =
        total == 0 ? QStringLiteral("ケーブルがありません")
                   : QStringLiteral("%1 本を表示 (全 %2 本)").arg(m_filter->rowCount()).arg(total);
    if (total > 0)
        text += QStringLiteral("　期限切れ %1・期限間近 %2・予定 %3・未試験 %4　基準日 %5")
                    .arg(counts[0])
                    .arg(counts[1])
                    .arg(counts[2])
                    .arg(counts[3])
                    .arg(m_asOf->date().toString(QStringLiteral("yyyy/MM/dd")));
    m_state->setText(text);
}

const fleet::CablePlan* FleetWindow::CurrentPlan() const
{
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid())
        return nullptr;
    const int row = m_filter->SourceRow(current.row());
    return row >= 0 && row < m_model->rowCount() ? &m_model->PlanAt(row) : nullptr;
}

void FleetWindow::ShowDetail()
{
    const fleet::CablePlan* p = CurrentPlan();
    m_historyButton->setEnabled(p != nullptr);
    m_latestButton->setEnabled(p && p->lastTest);
    m_registerButton->setEnabled(p && m_registerEditor);
    if (!p) {
        m_detail->clear();
        return;
    }
    QStringList lines;
    lines << QStringLiteral("%1 / %2").arg(ui::toQ(p->customer), ui::toQ(p->cable));
    if (p->lastTest)
        lines << QStringLiteral("最終試験日 %1 (%2)　判定 %3")
                     .arg(q(fleet::SlashText(*p->lastTest)), ui::toQ(p->latestSet),
                          q(p->PhaseJudgmentText()));
    else
        lines << QStringLiteral("試験記録なし");
    lines << QStringLiteral("試験周期 %1 か月 (%2)%3")
                 .arg(p->baseInterval)
                 .arg(QString::fromUtf8(fleet::SourceWord(p->source)))
                 .arg(p->interval != p->baseInterval ? QStringLiteral(" → %1 か月").arg(p->interval)
                                                     : QString());
    for (const std::string& r : p->reasons)
        lines << QStringLiteral("　") + q(r);
    if (p->nextDue)
        lines << QStringLiteral("次回期限 %1 (%2、%3)")
                     .arg(q(fleet::SlashText(*p->nextDue)),
                          QString::fromUtf8(fleet::StatusWord(p->status)),
                          p->daysLeft < 0 ? QStringLiteral("%1 日超過").arg(-p->daysLeft)
                                          : QStringLiteral("あと %1 日").arg(p->daysLeft));
    if (p->score) {
        lines << QStringLiteral("健全度 %1").arg(*p->score);
        if (p->contributions.empty())
            lines << QStringLiteral("　減点なし");
        for (const fleet::Contribution& c : p->contributions)
            lines << QStringLiteral("　") + q(c.Line());
    }
    m_detail->setPlainText(lines.join(QLatin1Char('\n')));
}

void FleetWindow::OpenHistory(int row)
{
    if (row < 0 || row >= m_filter->rowCount() || !m_history)
        return;
    const fleet::CablePlan& p = m_model->PlanAt(m_filter->SourceRow(row));
    m_history(p.customer, p.cable);
}

void FleetWindow::OpenLatest(int row)
{
    if (row < 0 || row >= m_filter->rowCount() || !m_measurement)
        return;
    const fleet::CablePlan& p = m_model->PlanAt(m_filter->SourceRow(row));
    if (p.lastTest)
        m_measurement(p.customer, p.cable, p.latestSet);
}

void FleetWindow::EditRegister()
{
    const fleet::CablePlan* p = CurrentPlan();
    if (!p || !m_registerEditor)
        return;
    const std::string customer = p->customer, cable = p->cable;
    if (m_registerEditor(this, customer, cable))
        Reload();
}

std::vector<const fleet::CablePlan*> FleetWindow::ShownPlans() const
{
    std::vector<const fleet::CablePlan*> rows;
    for (int r = 0; r < m_filter->rowCount(); ++r)
        rows.push_back(&m_model->PlanAt(m_filter->SourceRow(r)));
    return rows;
}

QString FleetWindow::ScopeLabel() const
{
    QStringList parts;
    parts << QStringLiteral("基準日 %1").arg(m_asOf->date().toString(QStringLiteral("yyyy/MM/dd")));
    if (m_customer->currentIndex() > 0)
        parts << QStringLiteral("需要家 %1").arg(m_customer->currentText());
    if (m_status->currentIndex() > 0)
        parts << m_status->currentText();
    if (!m_text->text().trimmed().isEmpty())
        parts << QStringLiteral("検索「%1」").arg(m_text->text().trimmed());
    return parts.join(QStringLiteral("、"));
}

printout::PagedOutput FleetWindow::Output() const
{
    return {
        [this] { return FleetPages::PageCount(static_cast<std::size_t>(m_filter->rowCount())); },
        [this](QPagedPaintDevice& device, int from, int to,
               const std::function<bool(int, int)>& progress) {
            FleetPages pages(ShownPlans(), ScopeLabel(), ui::ProgramPrintOptions());
            return pages.print(device, from, to, progress);
        },
        QStringLiteral("設備一覧・試験計画")};
}

void FleetWindow::OnPrint()
{
    printout::RunPrint(this, Output(), m_printer);
}

void FleetWindow::OnPreview()
{
    printout::RunPreview(this, Output(), m_printer);
}

void FleetWindow::OnPdf()
{
    const QString stem =
        QStringLiteral("設備一覧_%1").arg(m_asOf->date().toString(QStringLiteral("yyyyMMdd")));
    printout::RunPdfOut(this, Output(), printout::SafeFileName(stem) + QStringLiteral(".pdf"),
                        m_printer, m_settings);
}

std::string FleetWindow::CsvBytes() const
{
    std::vector<fleet::CablePlan> rows;
    for (const fleet::CablePlan* p : ShownPlans())
        rows.push_back(*p);
    return fleet::FleetCsv(rows);
}

bool FleetWindow::WriteCsvTo(const QString& path)
{
    return csvsave::WriteAndTell(this, path, CsvBytes());
}

bool FleetWindow::OnCsv()
{
    const QString name =
        QStringLiteral("設備一覧_%1.CSV").arg(m_asOf->date().toString(QStringLiteral("yyyyMMdd")));
    return csvsave::AskAndWrite(this, m_settings, name, [this] { return CsvBytes(); });
}
