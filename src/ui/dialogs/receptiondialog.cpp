// ReceptionDialog: layout of the reception dialog, the worker's texts and end codes handled on the
// dialog's thread, cancelling and the hand-over of the received records.
#include "ui/dialogs/receptiondialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QHeaderView>
#include <QProgressBar>
#include <QTableView>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <ctime>
#include <thread>

#include "settings/appsettings.h"
#include "link/cxlogfile.h"
#include "model/cp932text.h"
#include "ui/dialogs/receptionlist.h"
#include "ui/common/uitext.h"

CommReadEnvironment CommReadEnvironment::FromSettings(const CAppSettings& settings)
{
    CommReadEnvironment env;
    env.simulation = settings.DebugComm == 1;
    env.commLog = settings.CommLog == 1;
    env.appDir = settings.Paths().appDir;
    env.triggValidSec = settings.TriggValidSec;
    env.ports = settings.PortOverrides();
    env.archiveDir = settings.ReceivedFolder();
    env.archiveLimits = ArchiveLimitsFrom(settings.ReceivedKeepFiles, settings.ReceivedKeepMB);
    return env;
}

ReceptionDialog::ReceptionDialog(const CCommSetting& comm, int32_t seed, bool showCollectedData,
                     QWidget* parent)
    : QDialog(parent), m_env(CommReadEnvironment::FromSettings(AppSettings())), m_comm(comm),
      m_seed(seed), m_showCollectedData(showCollectedData),
      m_worker(static_cast<IReceptionListener&>(*this), std::make_unique<CxSerialPort>()),
      m_serial(static_cast<CxSerialPort*>(&m_worker.Port()))
{
    setObjectName(QStringLiteral("commRead"));
    setWindowTitle(QStringLiteral("データの受信"));

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status1030"));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setFrameShadow(QFrame::Sunken);
    m_status->setMinimumHeight(m_status->fontMetrics().height() + 12);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Busy indicator: an indeterminate bar runs while the reception does.
    m_busy = new QProgressBar(this);
    m_busy->setObjectName(QStringLiteral("busy1031"));
    m_busy->setTextVisible(false);
    m_busy->setFixedHeight(10);

    // A one-column table over a capped model: rows of one fixed height, so adding a line and
    // dropping the oldest stay cheap however full the list is (a list view lays out every
    // row again on each change, which a fast replay turns into minutes).
    m_lines = new ReceptionListModel(kMaxLines, this);
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("list1032"));
    m_list->setModel(m_lines);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(false);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->horizontalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 3);

    m_showData = new QCheckBox(QStringLiteral("収集データを表示する"), this);
    m_showData->setObjectName(QStringLiteral("check1033"));
    auto* hint =
        new QLabel(QStringLiteral("（このチェックを外すと受信時間が若干短縮出来ます)"), this);
    hint->setIndent(m_showData->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4);
    // Read into the member at once: the worker looks at the switch before every line.
    connect(m_showData, &QCheckBox::toggled, this, [this](bool on) {
        m_showCollectedData = on;
        m_worker.SetShowData(on);
    });

    m_cancel = new QPushButton(QStringLiteral("中断／戻る"), this);
    m_cancel->setObjectName(QStringLiteral("button2"));
    m_cancel->setAutoDefault(false);
    m_cancel->setMinimumWidth(110);
    connect(m_cancel, &QPushButton::clicked, this, &ReceptionDialog::OnCancel);

    // Shown only under the summary of a reception that had errors or warnings.
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("buttonOk"));
    m_ok->setMinimumWidth(110);
    m_ok->hide();
    connect(m_ok, &QPushButton::clicked, this, &ReceptionDialog::OnOk);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(m_status);
    layout->addWidget(m_busy);
    layout->addWidget(m_list, 1);
    auto* bottom = new QHBoxLayout;
    auto* checkColumn = new QVBoxLayout;
    checkColumn->setSpacing(2);
    checkColumn->addWidget(m_showData);
    checkColumn->addWidget(hint);
    bottom->addLayout(checkColumn, 1);
    bottom->addWidget(m_ok, 0, Qt::AlignBottom);
    bottom->addWidget(m_cancel, 0, Qt::AlignBottom);
    layout->addLayout(bottom);
    resize(540, 400);
    setMinimumSize(420, 300);
    setBusy(false);
}

ReceptionDialog::~ReceptionDialog()
{
    // The worker may still run (its stop gave up, or the dialog never closed): from now on its
    // texts are only counted off, and those already queued are counted off here. The worker's
    // own destructor then waits for its thread.
    m_detached.store(true);
    m_worker.StopWorker([this](uint32_t) {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
}

QStringList ReceptionDialog::ListTexts() const
{
    return m_lines->lines();
}

int ReceptionDialog::CurrentListRow() const
{
    return m_list->currentIndex().row();
}

void ReceptionDialog::SetReplayFile(const std::string& path)
{
    m_replay = true;
    m_replayPath = path;
}

void ReceptionDialog::setBusy(bool on)
{
    m_busy->setRange(0, on ? 0 : 1);
    m_busy->setValue(0);
}

void ReceptionDialog::OnInitDialog()
{
    m_initialised = true;
    if (m_env.commLog)
        m_serial->SetupLog(m_env.appDir.empty() ? std::string("COMM_") : m_env.appDir + "/COMM_");
    m_serial->SetPortMap(m_env.ports);
    setBusy(true);

    m_lines->clear();
    m_received.clear();
    m_links.clear();
    m_status->clear();
    {
        const QSignalBlocker block(m_showData);
        m_showData->setChecked(m_showCollectedData);
    }
    m_cancel->setEnabled(true);
    m_cancel->show();
    m_ok->hide();
    m_summary = ReceptionSummary();
    m_cancelling = false;
    m_finishing = false;

    StopWorker();
    ReceptionOptions options;
    options.mode = m_replay           ? ReceptionMode::Replay
                   : m_env.simulation ? ReceptionMode::Simulation
                                      : ReceptionMode::Serial;
    options.comm = m_comm;
    options.replayPath = m_replayPath;
    options.seed = m_seed;
    options.triggValidSec = m_env.triggValidSec;
    options.showData = m_showCollectedData;
    options.pauses = m_env.pauses;
    options.archiveDir = m_env.archiveDir;
    options.archiveLimits = m_env.archiveLimits;
    m_state = State::Receiving;
    m_worker.Start(options);
}

int ReceptionDialog::exec()
{
    if (!m_initialised)
        OnInitDialog();
    return QDialog::exec();
}

// --- the worker's side: only queue, never touch a widget ---

void ReceptionDialog::queueText(const std::string& text, int statusMark, int kind)
{
    if (m_detached.load()) {
        m_worker.TextHandled();
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, text, statusMark, kind] { onText(text, statusMark, kind); },
        Qt::QueuedConnection);
}

void ReceptionDialog::PostLine(const std::string& text, int statusMark)
{
    queueText(text, statusMark, static_cast<int>(ReceptionListModel::Kind::Text));
}

void ReceptionDialog::PostError(const std::string& text, int statusMark)
{
    queueText(text, statusMark, static_cast<int>(ReceptionListModel::Kind::Error));
}

void ReceptionDialog::PostWarning(const std::string& text, int statusMark)
{
    queueText(text, statusMark, static_cast<int>(ReceptionListModel::Kind::Warning));
}

void ReceptionDialog::Finished(bool success)
{
    if (m_detached.load())
        return;
    QMetaObject::invokeMethod(
        this, [this, success] { onFinished(success); }, Qt::QueuedConnection);
}

// --- the dialog's side ---

void ReceptionDialog::onText(const std::string& text, int statusMark, int kind)
{
    if (!m_detached.load()) {
        const auto lineKind = static_cast<ReceptionListModel::Kind>(kind);
        if (lineKind != ReceptionListModel::Kind::Text && m_env.appLog)
            m_env.appLog->Write(text);
        const QString shown = ui::toQ(text);
        m_lines->append(shown, lineKind);
        const QModelIndex last = m_lines->index(m_lines->rowCount() - 1);
        m_list->setCurrentIndex(last);
        m_list->scrollTo(last);
        if (statusMark != 0)
            m_status->setText(shown);
    }
    m_worker.TextHandled();
    if (m_pumpLoop && m_worker.Pending() == 0)
        m_pumpLoop->quit();
}

void ReceptionDialog::onFinished(bool success)
{
    if (m_detached.load())
        return;
    setBusy(false);
    if (!success) {
        m_status->setText(QStringLiteral("受信処理で問題が発生しました"));
        noteMissingArchive();
        if (!m_cancelling)
            m_state = State::Failed;
        emit receptionEnded(false);
        return;
    }
    // A cancel in progress wins: the user asked for nothing to be taken over.
    if (m_cancelling || m_finishing)
        return;
    m_finishing = true;
    m_cancel->setEnabled(false);
    StopWorker();
    m_received = m_worker.TakeRecords();
    m_links =
        ws::LinksOf(m_received, m_worker.RecordSpans(), m_worker.ArchivePath(), std::time(nullptr));
    m_summary = m_worker.Summary();
    if (m_summary.clean())
        handOver();
    else
        showSummary();
}

void ReceptionDialog::showSummary()
{
    // Records were lost in recoveries or arrived with lines missing: the user sees it before
    // the records reach the transfer list, where each of them can still be left out.
    const QString text =
        QStringLiteral("受信終了: 受信 %1 件, エラー %2 件, 欠落 %3 件, 警告 %4 件")
            .arg(m_summary.received)
            .arg(m_summary.errors)
            .arg(m_summary.lost)
            .arg(m_summary.warnings);
    if (m_env.appLog)
        m_env.appLog->Write(ui::fromQ(text).value_or(std::string()));
    m_lines->append(text, ReceptionListModel::Kind::Warning);
    const QModelIndex last = m_lines->index(m_lines->rowCount() - 1);
    m_list->setCurrentIndex(last);
    m_list->scrollTo(last);
    m_status->setText(text);
    noteMissingArchive();
    m_state = State::Reviewing;
    // OK takes the place of the cancel button, which has nothing left to cancel.
    m_cancel->hide();
    m_ok->show();
    m_ok->setEnabled(true);
    m_ok->setDefault(true);
    m_ok->setFocus();
    emit summaryShown();
}

void ReceptionDialog::noteMissingArchive()
{
    // The warning that the archive could not be written came while the reception ran; the
    // summary says once more that this reception has no archive, and which file is missing.
    const std::string& missing = m_worker.ArchiveMissing();
    if (missing.empty())
        return;
    const QString text = QStringLiteral("受信データは保存されていません:%1")
                             .arg(QFile::decodeName(missing.c_str()));
    if (m_env.appLog)
        m_env.appLog->Write(
            ui::fromQ(text).value_or(cp932::lit("受信データは保存されていません:") + missing));
    m_lines->append(text, ReceptionListModel::Kind::Warning);
    const QModelIndex last = m_lines->index(m_lines->rowCount() - 1);
    m_list->setCurrentIndex(last);
    m_list->scrollTo(last);
}

void ReceptionDialog::handOver()
{
    m_ok->setEnabled(false);
    m_state = State::Finished;
    QDialog::accept();
    emit receptionEnded(true);
}

void ReceptionDialog::OnOk()
{
    if (m_state == State::Reviewing)
        handOver();
}

bool ReceptionDialog::IsWarningLine(int row) const
{
    return m_lines->kindAt(row) == ReceptionListModel::Kind::Warning;
}

bool ReceptionDialog::IsErrorLine(int row) const
{
    return m_lines->kindAt(row) == ReceptionListModel::Kind::Error;
}

void ReceptionDialog::pumpEvents(uint32_t maxMs)
{
    // One wait slice: ends early when the last pending text was handled.
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(maxMs), &loop, &QEventLoop::quit);
    QEventLoop* outer = m_pumpLoop;
    m_pumpLoop = &loop;
    if (m_worker.Pending() != 0)
        loop.exec();
    m_pumpLoop = outer;
}

void ReceptionDialog::StopWorker()
{
    m_worker.StopWorker([this](uint32_t maxMs) { pumpEvents(maxMs); });
}

void ReceptionDialog::OnCancel()
{
    // Under the summary the worker has ended and the records are the user's: Esc and the
    // close box hand them over like OK (the cancel button is hidden then).
    if (m_state == State::Reviewing) {
        handOver();
        return;
    }
    // Once the end-of-transfer block arrived the dialog closes by itself; a second press
    // while a cancel waits for the worker changes nothing.
    if (m_finishing || m_cancelling)
        return;
    m_cancelling = true;
    m_cancel->setEnabled(false);
    StopWorker();
    setBusy(false);
    // The worker's records stay behind with it: nothing is handed over after a cancel.
    m_received.clear();
    m_links.clear();
    m_state = State::Cancelled;
    m_cancelling = false;
    QDialog::reject();
}

void ReceptionDialog::reject()
{
    OnCancel();
}
