// JobReportDialog: the fields, the set tree proposed from the dates, and the three outputs.
#include "ui/analysis/jobreportdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPagedPaintDevice>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "analysis/analysissettings.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "settings/appsettings.h"
#include "settings/companysettings.h"
#include "ui/common/programreport.h"

namespace {

QString q(const std::string& cp932Text)
{
    return QString::fromStdString(cp932::toUtf8(cp932Text));
}

CalendarTime calendarOf(const QDate& d)
{
    return {d.year(), d.month(), d.day()};
}

// The day of the customer's latest record, or today.
QDate latestDay(const CCustomer* customer)
{
    QDate latest;
    if (customer)
        for (int c = 0; c < customer->cables.Count(); ++c)
            for (int s = 0; s < customer->cables.At(c).sets.Count(); ++s)
                for (const CMeasRecord& r : customer->cables.At(c).sets.At(s).Records())
                    if (const auto t = r.StartTime.status == OleDateTime::Valid
                                           ? r.StartTime.toCalendar()
                                           : std::nullopt) {
                        const QDate d(t->year, t->month, t->day);
                        if (!latest.isValid() || d > latest)
                            latest = d;
                    }
    return latest.isValid() ? latest : QDate::currentDate();
}

constexpr int kCableRole = Qt::UserRole;
constexpr int kSetRole = Qt::UserRole + 1;

} // namespace

JobReportDialog::JobReportDialog(QWidget* parent, const CCustomerDB& db,
                                 const std::string& customer, CAppSettings& settings,
                                 QPrinter& printer)
    : QDialog(parent), m_db(db), m_settings(settings), m_printer(printer)
{
    setObjectName(QStringLiteral("jobReport"));
    setWindowTitle(QStringLiteral("試験成績書の作成"));

    m_customer = new QComboBox(this);
    for (int i = 0; i < db.customers.Count(); ++i)
        m_customer->addItem(q(db.customers.At(i).name), i);
    const int chosen = db.customers.Find(customer);
    m_customer->setCurrentIndex(std::max(0, chosen));

    m_from = new QDateEdit(this);
    m_to = new QDateEdit(this);
    for (QDateEdit* e : {m_from, m_to}) {
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    }
    m_sets = new QTreeWidget(this);
    m_sets->setHeaderLabels({QStringLiteral("ケーブル / 測定データ"), QStringLiteral("試験日")});
    m_sets->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_sets->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_sets->header()->setStretchLastSection(false);
    m_sets->setMinimumSize(360, 220);

    auto* left = new QFormLayout;
    left->addRow(QStringLiteral("需要家(&C):"), m_customer);
    auto* dates = new QHBoxLayout;
    dates->addWidget(m_from);
    dates->addWidget(new QLabel(QStringLiteral("～"), this));
    dates->addWidget(m_to);
    dates->addStretch(1);
    auto* fromLabel = new QLabel(QStringLiteral("試験日(&F):"), this);
    fromLabel->setBuddy(m_from);
    left->addRow(fromLabel, dates);
    auto* setsLabel = new QLabel(QStringLiteral("測定データ(&S):"), this);
    setsLabel->setBuddy(m_sets);
    left->addRow(setsLabel);
    left->addRow(m_sets);

    m_history = new QCheckBox(QStringLiteral("ケーブルごとの経年変化(&H)"), this);
    m_phase = new QCheckBox(QStringLiteral("ケーブルごとの相間比較(&T)"), this);
    auto* sections = new QGroupBox(QStringLiteral("内容"), this);
    auto* sectionLayout = new QVBoxLayout(sections);
    sectionLayout->addWidget(new QLabel(QStringLiteral("表紙、試験結果一覧、各測定データの成績表"), sections));
    sectionLayout->addWidget(m_history);
    sectionLayout->addWidget(m_phase);

    m_number = new QLineEdit(this);
    m_reportDate = new QDateEdit(QDate::currentDate(), this);
    m_reportDate->setCalendarPopup(true);
    m_reportDate->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    m_tester = new QLineEdit(this);
    m_witness = new QLineEdit(this);
    m_remarks = new QPlainTextEdit(this);
    m_remarks->setTabChangesFocus(true);
    m_remarks->setMinimumHeight(90);
    auto* cover = new QFormLayout;
    cover->addRow(QStringLiteral("報告書番号(&N):"), m_number);
    cover->addRow(QStringLiteral("報告日(&D):"), m_reportDate);
    cover->addRow(QStringLiteral("試験者(&E):"), m_tester);
    cover->addRow(QStringLiteral("立会者(&W):"), m_witness);
    auto* remarksLabel = new QLabel(QStringLiteral("所見(&R):"), this);
    remarksLabel->setBuddy(m_remarks);
    cover->addRow(remarksLabel, m_remarks);

    auto* right = new QVBoxLayout;
    right->addWidget(sections);
    right->addLayout(cover);
    right->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 3);
    columns->addSpacing(12);
    columns->addLayout(right, 2);

    m_count = new QLabel(this);
    auto* buttons = new QDialogButtonBox(this);
    const QString texts[] = {QStringLiteral("プレビュー(&V)"), QStringLiteral("印刷(&P)..."),
                             QStringLiteral("PDF出力(&O)...")};
    for (int i = 0; i < 3; ++i)
        m_outputs[static_cast<std::size_t>(i)] =
            buttons->addButton(texts[i], QDialogButtonBox::ActionRole);
    connect(m_outputs[0], &QPushButton::clicked, this, &JobReportDialog::OnPreview);
    connect(m_outputs[1], &QPushButton::clicked, this, &JobReportDialog::OnPrint);
    connect(m_outputs[2], &QPushButton::clicked, this, &JobReportDialog::OnPdf);
    buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_count, 1);
    bottom->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(bottom);

    fillSets();
    connect(m_customer, &QComboBox::currentIndexChanged, this, [this] { fillSets(); });
    connect(m_from, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        if (m_to->date() < d)
            m_to->setDate(d);
        ProposeSets();
    });
    connect(m_to, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        if (m_from->date() > d)
            m_from->setDate(d);
        ProposeSets();
    });
    connect(m_sets, &QTreeWidget::itemChanged, this, [this] { updateCount(); });
    m_customer->setFocus();
}

JobReportDialog::~JobReportDialog() = default;

const CCustomer* JobReportDialog::currentCustomer() const
{
    const int i = m_customer->currentData().toInt();
    if (m_customer->currentIndex() < 0 || i < 0 || i >= m_db.customers.Count())
        return nullptr;
    return &m_db.customers.At(i);
}

void JobReportDialog::fillSets()
{
    const QSignalBlocker blockTree(m_sets);
    m_sets->clear();
    const CCustomer* customer = currentCustomer();
    if (customer) {
        for (int c = 0; c < customer->cables.Count(); ++c) {
            const CCable& cable = customer->cables.At(c);
            auto* cableItem = new QTreeWidgetItem(m_sets, {q(cable.name)});
            cableItem->setFlags(cableItem->flags() | Qt::ItemIsAutoTristate | Qt::ItemIsUserCheckable);
            for (int s = 0; s < cable.sets.Count(); ++s) {
                const CMeasData& set = cable.sets.At(s);
                const analysis::JobSummary days = analysis::SummarizeJob(
                    analysis::SelectJobRecords(*customer, {{}, {}, {{cable.name, set.name}}}), {});
                auto* item = new QTreeWidgetItem(cableItem, {q(set.name), q(analysis::JobDateRangeText(days))});
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(0, Qt::Unchecked);
                item->setData(0, kCableRole, QByteArray::fromStdString(cable.name));
                item->setData(0, kSetRole, QByteArray::fromStdString(set.name));
            }
        }
        m_sets->expandAll();
    }
    const QDate day = latestDay(customer);
    {
        const QSignalBlocker a(m_from), b(m_to);
        m_from->setDate(day);
        m_to->setDate(day);
    }
    ProposeSets();
}

void JobReportDialog::ProposeSets()
{
    const CCustomer* customer = currentCustomer();
    if (!customer)
        return updateCount();
    const auto measured = analysis::SetsMeasuredBetween(*customer, calendarOf(m_from->date()),
                                                        calendarOf(m_to->date()));
    {
        const QSignalBlocker block(m_sets);
        for (int c = 0; c < m_sets->topLevelItemCount(); ++c) {
            QTreeWidgetItem* cable = m_sets->topLevelItem(c);
            for (int s = 0; s < cable->childCount(); ++s) {
                QTreeWidgetItem* item = cable->child(s);
                const analysis::JobSetRef ref{item->data(0, kCableRole).toByteArray().toStdString(),
                                              item->data(0, kSetRole).toByteArray().toStdString()};
                const bool on = std::find(measured.begin(), measured.end(), ref) != measured.end();
                item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
            }
        }
    }
    m_sets->viewport()->update();
    updateCount();
}

jobdoc::JobRequest JobReportDialog::Request() const
{
    jobdoc::JobRequest r;
    r.selection.from = calendarOf(m_from->date());
    r.selection.to = calendarOf(m_to->date());
    for (int c = 0; c < m_sets->topLevelItemCount(); ++c) {
        QTreeWidgetItem* cable = m_sets->topLevelItem(c);
        for (int s = 0; s < cable->childCount(); ++s) {
            QTreeWidgetItem* item = cable->child(s);
            if (item->checkState(0) == Qt::Checked)
                r.selection.sets.push_back({item->data(0, kCableRole).toByteArray().toStdString(),
                                            item->data(0, kSetRole).toByteArray().toStdString()});
        }
    }
    r.history = m_history->isChecked();
    r.phase = m_phase->isChecked();
    r.judgments = m_settings.PrtJudgOut != 0;
    r.options = ui::ProgramPrintOptions();
    r.settings = ui::ProgramReportSettings();
    r.thresholds = ReadAnalysisThresholds(m_settings.SystemIniPath());
    const CompanySettings company = ReadCompanySettings(m_settings.SystemIniPath());
    r.info.companyName = q(company.name);
    r.info.companyAddress = q(company.address);
    r.info.companyPhone = q(company.phone);
    r.info.logoPath = q(company.logoPath);
    r.info.customer = m_customer->currentText();
    r.info.reportNumber = m_number->text().trimmed();
    r.info.reportDate = m_reportDate->date().toString(QStringLiteral("yyyy/MM/dd"));
    r.info.tester = m_tester->text().trimmed();
    r.info.witness = m_witness->text().trimmed();
    r.info.remarks = m_remarks->toPlainText();
    return r;
}

std::shared_ptr<jobdoc::JobBuild> JobReportDialog::Build() const
{
    const CCustomer* customer = currentCustomer();
    if (!customer)
        return {};
    const jobdoc::JobRequest request = Request();
    if (request.selection.sets.empty())
        return std::make_shared<jobdoc::JobBuild>();
    return std::make_shared<jobdoc::JobBuild>(jobdoc::BuildJob(*customer, request));
}

void JobReportDialog::updateCount()
{
    const CCustomer* customer = currentCustomer();
    const jobdoc::JobRequest request = Request();
    const std::size_t n = customer && !request.selection.sets.empty()
                              ? analysis::SelectJobRecords(*customer, request.selection).size()
                              : 0;
    m_count->setText(n ? QStringLiteral("測定データ %1 件").arg(n)
                       : QStringLiteral("該当する測定データがありません"));
    for (QPushButton* b : m_outputs)
        b->setEnabled(n > 0);
}

QString JobReportDialog::PdfProposal() const
{
    return jobdoc::JobPdfProposal(m_customer->currentText(),
                                  m_from->date().toString(QStringLiteral("yyyyMMdd")));
}

printout::PagedOutput JobReportDialog::output() const
{
    std::shared_ptr<jobdoc::JobBuild> job = Build();
    return {[job] { return job && job->report ? job->report->totalPages() : 0; },
            [job](QPagedPaintDevice& device, int from, int to,
                  const std::function<bool(int, int)>& progress) {
                return job && job->report && job->report->print(device, from, to, progress);
            },
            QStringLiteral("試験成績書")};
}

void JobReportDialog::OnPreview()
{
    printout::RunPreview(this, output(), m_printer);
}

void JobReportDialog::OnPrint()
{
    printout::RunPrint(this, output(), m_printer);
}

void JobReportDialog::OnPdf()
{
    printout::RunPdfOut(this, output(), PdfProposal(), m_printer, m_settings);
}

void RunJobReport(QWidget* parent, const CCustomerDB& db, const std::string& customer,
                  CAppSettings& settings, QPrinter& printer)
{
    JobReportDialog dialog(parent, db, customer, settings, printer);
    dialog.exec();
}
