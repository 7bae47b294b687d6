// JournalWindow: layout, filters, the detail pane and the output buttons.
#include "ui/dialogs/journalwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QAbstractItemView>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "exchange/csvwriter.h"
#include "settings/appsettings.h"
#include "ui/common/messages.h"
#include "ui/dialogs/csvsave.h"
#include "ui/dialogs/outputbuttons.h"
#include "ui/common/programreport.h"
#include "ui/common/uitext.h"
#include "ui/dialogs/journalmodel.h"
#include "ui/dialogs/journalpages.h"
#include "widgets/windowfit.h"

namespace {

// The level list: its texts and the item level each stands for.
struct LevelChoice {
    const char* text;
    int level;
};
constexpr LevelChoice kLevels[] = {{"すべての項目", -1},
                                   {"需要家", static_cast<int>(ws::ItemLevel::Customer)},
                                   {"ケーブル", static_cast<int>(ws::ItemLevel::Cable)},
                                   {"測定データ", static_cast<int>(ws::ItemLevel::Set)},
                                   {"測定", static_cast<int>(ws::ItemLevel::Record)}};

// Texts as wide as each column's usual content (the last column takes the rest).
constexpr const char* kColumnSamples[] = {"2026/12/31 23:59:59", "username00", "WORKSTATION-01",
                                          "測定データ 3 件の登録など",
                                          "需要家名 / ケーブル名 / 測定データ名 / 記録 01234567"};

int64_t dayStart(const QDate& date)
{
    return QDateTime(date, QTime(0, 0)).toSecsSinceEpoch();
}

} // namespace

JournalWindow::JournalWindow(QWidget* parent, QPrinter& printer, CAppSettings& settings)
    : QDialog(parent), m_printer(printer), m_settings(settings)
{
    setObjectName(QStringLiteral("journalWindow"));
    setWindowTitle(QStringLiteral("変更履歴 - %1").arg(ui::appTitle()));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);

    auto* filters = new QHBoxLayout;
    auto* scopeLabel = new QLabel(QStringLiteral("対象(&S):"), this);
    filters->addWidget(scopeLabel);
    m_scopeList = new QComboBox(this);
    m_scopeList->setObjectName(QStringLiteral("journalScope"));
    // A record's scope names its customer, cable, set, date and voltage: the list keeps a
    // bounded width (the popup shows the whole text), so the window fits a small screen.
    m_scopeList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_scopeList->setMinimumContentsLength(24);
    scopeLabel->setBuddy(m_scopeList);
    filters->addWidget(m_scopeList);
    filters->addSpacing(12);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("journalText"));
    m_text->setPlaceholderText(QStringLiteral("検索 (名前、利用者、値など)"));
    m_text->setClearButtonEnabled(true);
    m_text->setMinimumWidth(m_text->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16);
    filters->addWidget(m_text, 1);
    filters->addSpacing(12);
    m_fromOn = new QCheckBox(QStringLiteral("開始日(&F)"), this);
    m_from = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    m_toOn = new QCheckBox(QStringLiteral("終了日(&T)"), this);
    m_to = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* d : {m_from, m_to}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        d->setEnabled(false);
    }
    m_fromOn->setObjectName(QStringLiteral("journalFromOn"));
    m_toOn->setObjectName(QStringLiteral("journalToOn"));
    filters->addWidget(m_fromOn);
    filters->addWidget(m_from);
    filters->addWidget(m_toOn);
    filters->addWidget(m_to);
    filters->addSpacing(12);
    m_level = new QComboBox(this);
    m_level->setObjectName(QStringLiteral("journalLevel"));
    for (const LevelChoice& l : kLevels)
        m_level->addItem(QString::fromUtf8(l.text), l.level);
    filters->addWidget(m_level);
    layout->addLayout(filters);

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("journalState"));
    layout->addWidget(m_state);

    auto* split = new QSplitter(Qt::Vertical, this);
    m_model = new JournalModel(this);
    m_view = new QTableView(split);
    m_view->setObjectName(QStringLiteral("journalTable"));
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setWordWrap(false);
    m_view->setAlternatingRowColors(true);
    // Fixed row heights and column widths: nothing measures the rows, so a long journal
    // costs no more to show than its first screen.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->verticalHeader()->setVisible(false);
    m_view->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < static_cast<int>(std::size(kColumnSamples)); ++c)
        m_view->setColumnWidth(
            c, m_view->fontMetrics().horizontalAdvance(QString::fromUtf8(kColumnSamples[c])) + 16);
    m_detail = new QPlainTextEdit(split);
    m_detail->setObjectName(QStringLiteral("journalDetail"));
    m_detail->setReadOnly(true);
    split->addWidget(m_view);
    split->addWidget(m_detail);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    AddRowButton(this, buttons, QStringLiteral("最新の状態に更新(&R)"), "reloadButton",
                 [this] { Reload(); });
    buttons->addSpacing(12);
    AddOutputButtons(this, buttons,
                     {[this] { OnPrint(); }, [this] { OnPreview(); }, [this] { OnPdf(); },
                      [this] { OnCsv(); }});
    layout->addLayout(buttons);

    // Typing filters after a pause, so a long journal is not searched at every key.
    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(250);
    connect(m_typing, &QTimer::timeout, this, &JournalWindow::ApplyFilter);
    connect(m_text, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
    for (QCheckBox* on : {m_fromOn, m_toOn})
        connect(on, &QCheckBox::toggled, this, &JournalWindow::ApplyFilter);
    connect(m_fromOn, &QCheckBox::toggled, m_from, &QWidget::setEnabled);
    connect(m_toOn, &QCheckBox::toggled, m_to, &QWidget::setEnabled);
    for (QDateEdit* d : {m_from, m_to})
        connect(d, &QDateEdit::dateChanged, this, &JournalWindow::ApplyFilter);
    connect(m_level, &QComboBox::currentIndexChanged, this, &JournalWindow::ApplyFilter);
    connect(m_scopeList, &QComboBox::currentIndexChanged, this, &JournalWindow::Reload);
    windowfit::FitToScreen(*this, QSize(1100, 640), QSize(640, 400));
    connect(m_model, &QAbstractItemModel::modelReset, this, &JournalWindow::ShowDetail);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &JournalWindow::ShowDetail);
}

void JournalWindow::SetScopes(std::vector<JournalScope> scopes, int current)
{
    m_scopes = std::move(scopes);
    const QSignalBlocker block(m_scopeList);
    m_scopeList->clear();
    int widest = 0;
    for (const JournalScope& s : m_scopes) {
        m_scopeList->addItem(s.label);
        widest = std::max(widest, m_scopeList->fontMetrics().horizontalAdvance(s.label));
    }
    m_scopeList->view()->setMinimumWidth(widest + 32);
    m_scopeList->setCurrentIndex(std::clamp(current, 0, static_cast<int>(m_scopes.size()) - 1));
    Reload();
}

void JournalWindow::Reload()
{
    const int i = m_scopeList->currentIndex();
    if (m_query && i >= 0 && i < static_cast<int>(m_scopes.size()))
        m_last = m_query(m_scopes[static_cast<std::size_t>(i)].filter);
    else
        m_last = {};
    m_model->SetEntries(std::move(m_last.entries));
    m_last.entries.clear();
    ShowState();
}

void JournalWindow::SetTextFilter(const QString& text)
{
    {
        const QSignalBlocker block(m_text);
        m_text->setText(text);
    }
    ApplyFilter();
}

void JournalWindow::SetDateRange(const QDate& from, const QDate& to)
{
    const QSignalBlocker a(m_fromOn), b(m_toOn), c(m_from), d(m_to);
    m_fromOn->setChecked(from.isValid());
    m_toOn->setChecked(to.isValid());
    m_from->setEnabled(from.isValid());
    m_to->setEnabled(to.isValid());
    if (from.isValid())
        m_from->setDate(from);
    if (to.isValid())
        m_to->setDate(to);
    ApplyFilter();
}

void JournalWindow::SetLevelFilter(int level)
{
    const int i = m_level->findData(level);
    if (i >= 0)
        m_level->setCurrentIndex(i); // applies through the list's signal
}

void JournalWindow::ApplyFilter()
{
    m_typing->stop();
    ws::JournalRowFilter f;
    f.text = m_text->text().trimmed().toStdString();
    if (m_fromOn->isChecked())
        f.since = dayStart(m_from->date());
    if (m_toOn->isChecked())
        f.until = dayStart(m_to->date().addDays(1)); // the end day is part of the range
    f.level = m_level->currentData().toInt();
    if (f == m_model->Table().Filter())
        return;
    m_model->SetFilter(f);
    ShowState();
}

void JournalWindow::ShowState()
{
    const ws::JournalTable& t = m_model->Table();
    QString text;
    if (!m_last.problem.isEmpty())
        text = QStringLiteral("変更履歴を読み込めませんでした: %1").arg(m_last.problem);
    else if (t.TotalRowCount() == 0)
        text = QStringLiteral("変更履歴はまだありません");
    else if (t.RowCount() == 0)
        text = QStringLiteral("該当する変更はありません (全 %1 件)")
                   .arg(QLocale::c().toString(static_cast<qulonglong>(t.TotalRowCount())));
    else
        text = QStringLiteral("%1 件 (全 %2 件)")
                   .arg(QLocale::c().toString(static_cast<qulonglong>(t.RowCount())),
                        QLocale::c().toString(static_cast<qulonglong>(t.TotalRowCount())));
    m_state->setText(text);
}

void JournalWindow::ShowDetail()
{
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount()) {
        m_detail->clear();
        return;
    }
    m_detail->setPlainText(QString::fromStdString(
        m_model->Table().DetailText(static_cast<std::size_t>(current.row()))));
}

QString JournalWindow::ScopeLabel() const
{
    QString label = m_scopeList->currentText();
    QStringList parts;
    if (!m_text->text().trimmed().isEmpty())
        parts << QStringLiteral("検索「%1」").arg(m_text->text().trimmed());
    if (m_fromOn->isChecked() || m_toOn->isChecked())
        parts << QStringLiteral("期間 %1 ～ %2")
                     .arg(m_fromOn->isChecked()
                              ? m_from->date().toString(QStringLiteral("yyyy/MM/dd"))
                              : QString(),
                          m_toOn->isChecked() ? m_to->date().toString(QStringLiteral("yyyy/MM/dd"))
                                              : QString());
    if (m_level->currentData().toInt() >= 0)
        parts << m_level->currentText();
    if (!parts.isEmpty())
        label += QStringLiteral("  (%1)").arg(parts.join(QStringLiteral("、")));
    return label;
}

printout::PagedOutput JournalWindow::Output() const
{
    return {[this] { return JournalPages::PageCount(m_model->Table().RowCount()); },
            [this](QPagedPaintDevice& device, int from, int to,
                   const std::function<bool(int, int)>& progress) {
                JournalPages pages(m_model->Table(), ScopeLabel(), ui::ProgramPrintOptions());
                return pages.print(device, from, to, progress);
            },
            QStringLiteral("変更履歴")};
}

void JournalWindow::OnPrint()
{
    printout::RunPrint(this, Output(), m_printer);
}

void JournalWindow::OnPreview()
{
    printout::RunPreview(this, Output(), m_printer);
}

void JournalWindow::OnPdf()
{
    const QString stem = QStringLiteral("変更履歴_%1")
                             .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    printout::RunPdfOut(this, Output(), printout::SafeFileName(stem) + QStringLiteral(".pdf"),
                        m_printer, m_settings);
}

std::string JournalWindow::CsvBytes() const
{
    return m_model->Table().Csv();
}

bool JournalWindow::WriteCsvTo(const QString& path)
{
    return csvsave::WriteAndTell(this, path, CsvBytes());
}

bool JournalWindow::OnCsv()
{
    const QString name = QStringLiteral("変更履歴_%1.CSV")
                             .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    return csvsave::AskAndWrite(this, m_settings, name, [this] { return CsvBytes(); });
}
