// AnalysisCommands: the analysis windows for the selection, the judgment-basis panel, the
// report's tool tip and the graph overlay.
#include "ui/analysis/analysiscommands.h"

#include <QDockWidget>
#include <QHelpEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QTextEdit>
#include <QToolTip>
#include <QVBoxLayout>

#include "analysis/analysissettings.h"
#include "analysis/curvesigns.h"
#include "analysis/explain.h"
#include "fleet/plansettings.h"
#include "report/screenreport.h"
#include "settings/appsettings.h"
#include "ui/analysis/analysisviews.h"
#include "ui/analysis/analysiswindow.h"
#include "ui/dialogs/cableregisterdialog.h"
#include "ui/analysis/fleetwindow.h"
#include "ui/analysis/receptionsource.h"
#include "ui/analysis/reportoverlay.h"
#include "ui/common/uitext.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/reportview.h"
#include "workspace/workspace.h"

namespace {

const CCable* findCable(const CCustomerDB& db, const DataSelection& s)
{
    const int c = db.customers.Find(s.customer);
    if (c < 0)
        return nullptr;
    const CCustomer& customer = db.customers.At(c);
    const int k = customer.cables.Find(s.cable);
    return k < 0 ? nullptr : &customer.cables.At(k);
}

// The judgments of a record and its curve signs, as the panel and the tool tip show them.
QString explanation(const CMeasRecord& r, const analysis::CurveSigns& signs)
{
    QStringList lines;
    lines << QStringLiteral("【判定根拠】");
    for (const analysis::JudgmentExplanation& e : analysis::ExplainJudgments(r))
        lines << ui::toQ(e.text);
    lines << QString() << QStringLiteral("【波形の兆候】");
    if (signs.signs.empty())
        lines << QStringLiteral("兆候なし");
    for (const analysis::CurveSign& s : signs.signs)
        lines << ui::toQ(s.text);
    return lines.join('\n');
}

} // namespace

AnalysisCommands::AnalysisCommands(QMainWindow& frame, MeasurementDocument& doc, ReportView& view,
                                     QPrinter& printer, std::function<CAppSettings&()> settings)
    : QObject(&frame), m_frame(frame), m_doc(doc), m_view(view), m_printer(printer),
      m_settings(std::move(settings))
{
    m_panel = new QDockWidget(QStringLiteral("判定根拠"), &frame);
    m_panel->setObjectName(QStringLiteral("judgmentBasisPanel"));
    auto* body = new QWidget(m_panel);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    m_panelText = new QTextEdit(body);
    m_panelText->setObjectName(QStringLiteral("judgmentBasisText"));
    m_panelText->setReadOnly(true);
    m_panelText->setLineWrapMode(QTextEdit::WidgetWidth);
    layout->addWidget(m_panelText);
    // The shown record's set against the receptions its records came from.
    m_verifyButton = new QPushButton(QStringLiteral("検証(&V)"), body);
    m_verifyButton->setObjectName(QStringLiteral("verifySetButton"));
    m_verifyButton->setToolTip(
        QStringLiteral("表示中の測定データの各データを受信時のデータと照合します"));
    connect(m_verifyButton, &QPushButton::clicked, this, [this] { ShowVerification(); });
    layout->addWidget(m_verifyButton);
    m_panel->setWidget(body);
    frame.addDockWidget(Qt::RightDockWidgetArea, m_panel);
    m_panel->hide();
    m_overlay = new ReportOverlay(view);
    // The result table of the report explains its judgments in a tool tip.
    view.installEventFilter(this);
}

AnalysisCommands::~AnalysisCommands()
{
    for (const QPointer<AnalysisWindow>& w : {m_history, m_phase, m_step})
        delete w.data();
}

bool AnalysisCommands::HasCable() const
{
    return findCable(m_doc.Store(), m_doc.Selection()) != nullptr;
}

bool AnalysisCommands::HasSet() const
{
    const CCable* cable = findCable(m_doc.Store(), m_doc.Selection());
    return cable && cable->sets.Find(m_doc.Selection().measData) >= 0;
}

AnalysisWindow* AnalysisCommands::Present(QPointer<AnalysisWindow>& slot,
                                            const QString& fileStem, analysisui::AnalysisView view)
{
    if (!slot) {
        slot = new AnalysisWindow(&m_frame, m_printer, m_settings());
        slot->SetOpenHandler([this](const DataSelection& t) { OpenMeasurement(t); });
    }
    AnalysisWindow* w = slot;
    w->SetFileStem(fileStem);
    w->SetDocument(std::move(view.doc));
    w->SetPointTargets(std::move(view.pointTargets));
    w->SetRowTargets(std::move(view.rowTargets));
    w->show();
    w->raise();
    return w;
}

AnalysisWindow* AnalysisCommands::ShowHistory()
{
    const CCable* cable = findCable(m_doc.Store(), m_doc.Selection());
    if (!cable)
        return nullptr;
    const DataSelection& s = m_doc.Selection();
    const AnalysisThresholds t = Thresholds();
    analysisui::AnalysisView v = analysisui::BuildHistoryView(s.customer, s.cable, *cable, t);
    return Present(m_history, QStringLiteral("HISTORY_%1").arg(ui::toQ(s.cable)), std::move(v));
}

AnalysisWindow* AnalysisCommands::ShowCableHistory(const std::string& customer,
                                                    const std::string& cable)
{
    const CCable* found = findCable(m_doc.Store(), DataSelection{customer, cable, {}, -1});
    if (!found)
        return nullptr;
    analysisui::AnalysisView v =
        analysisui::BuildHistoryView(customer, cable, *found, Thresholds());
    return Present(m_history, QStringLiteral("HISTORY_%1").arg(ui::toQ(cable)), std::move(v));
}

FleetWindow* AnalysisCommands::ShowFleet()
{
    if (!m_fleet) {
        m_fleet = new FleetWindow(&m_frame, m_printer, m_settings());
        m_fleet->SetHistoryHandler([this](const std::string& customer, const std::string& cable) {
            ShowCableHistory(customer, cable);
        });
        m_fleet->SetMeasurementHandler(
            [this](const std::string& customer, const std::string& cable, const std::string& set) {
                DataSelection target{customer, cable, set, 0};
                const CMeasData* data = SelectedSet(m_doc.Store(), target);
                if (!data || data->Records().empty())
                    return;
                // The set's latest dated record, as the fleet's latest test.
                const auto& records = data->Records();
                for (std::size_t i = 0; i < records.size(); ++i)
                    if (records[i].StartTime.status == OleDateTime::Valid &&
                        records[i].StartTime.date >=
                            records[static_cast<std::size_t>(target.index)].StartTime.date)
                        target.index = static_cast<int>(i);
                OpenMeasurement(target);
            });
        m_fleet->SetRegisterEditor(
            [this](QWidget* parent, const std::string& customer, const std::string& cable) {
                const fleet::FleetSettings fleetSettings =
                    fleet::ReadFleetSettings(m_settings().SystemIniPath());
                return cableregisterui::EditCableRegister(parent, m_doc, customer, cable,
                                                          fleetSettings.plan.defaultIntervalMonths);
            });
    }
    FleetWindow::Source source;
    source.tree = [this]() -> const CCustomerDB& { return m_doc.Store(); };
    source.storePath = m_doc.DataFilePath();
    source.thresholds = [this] { return Thresholds(); };
    source.settings = [this] { return fleet::ReadFleetSettings(m_settings().SystemIniPath()); };
    m_fleet->show();
    m_fleet->raise();
    m_fleet->SetSource(std::move(source));
    return m_fleet;
}

AnalysisWindow* AnalysisCommands::ShowPhase()
{
    if (!HasSet())
        return nullptr;
    const DataSelection& s = m_doc.Selection();
    const AnalysisThresholds t = Thresholds();
    analysisui::AnalysisView v = analysisui::BuildPhaseView(
        s.customer, s.cable, *findCable(m_doc.Store(), s), s.measData, t);
    return Present(m_phase, QStringLiteral("PHASE_%1_%2").arg(ui::toQ(s.cable), ui::toQ(s.measData)), std::move(v));
}

AnalysisWindow* AnalysisCommands::ShowStep()
{
    if (!HasSet())
        return nullptr;
    const DataSelection& s = m_doc.Selection();
    const AnalysisThresholds t = Thresholds();
    analysisui::AnalysisView v =
        analysisui::BuildStepView(s.customer, s.cable, *findCable(m_doc.Store(), s), s.measData, t);
    return Present(m_step, QStringLiteral("STEP_%1_%2").arg(ui::toQ(s.cable), ui::toQ(s.measData)), std::move(v));
}

void AnalysisCommands::OpenMeasurement(const DataSelection& target)
{
    m_doc.Selection() = target;
    m_doc.LoadSelectedMeasurement();
    m_frame.raise();
    m_frame.activateWindow();
}

void AnalysisCommands::SetPanelVisible(bool on)
{
    m_panel->setVisible(on);
    Refresh();
}

bool AnalysisCommands::PanelVisible() const
{
    return m_panel->isVisibleTo(&m_frame);
}

void AnalysisCommands::SetOverlay(bool on)
{
    m_overlay->setVisible(on);
    if (on) {
        m_overlay->setGeometry(m_view.rect());
        m_overlay->raise();
    }
    Refresh();
}

bool AnalysisCommands::OverlayOn() const
{
    return m_overlay->isVisibleTo(&m_view);
}

QString AnalysisCommands::ExplanationText() const
{
    const CMeasRecord* r = m_view.DisplayedRecord();
    return r ? explanation(*r, analysis::FindCurveSigns(*r, Thresholds())) : QString();
}

QString AnalysisCommands::PanelText() const
{
    return m_panelText->toPlainText();
}

void AnalysisCommands::Refresh()
{
    // Only what is shown is computed: the signs of a long record cost a pass over its points.
    const bool panel = PanelVisible();
    const bool overlay = OverlayOn();
    if (!panel && !overlay)
        return;
    const CMeasRecord* r = m_view.DisplayedRecord();
    const analysis::CurveSigns signs =
        r ? analysis::FindCurveSigns(*r, Thresholds()) : analysis::CurveSigns{};
    if (panel) {
        QString text =
            r ? explanation(*r, signs) : QStringLiteral("測定データが表示されていません");
        const DataSelection& s = m_doc.Selection();
        // The shown record is the view's copy of the selected one.
        if (r && SelectedRecord(m_doc.Store(), s)) {
            ws::Workspace workspace;
            const bool open = workspace.Open(m_doc.DataFilePath(), false).usable();
            const ws::RecordVerdict v =
                ws::VerifyRecord(open ? &workspace : nullptr, m_doc.DataFilePath(), m_doc.Store(),
                                 {s.customer, s.cable, s.measData},
                                 static_cast<std::size_t>(s.index), m_settings().TriggValidSec);
            text += QStringLiteral("\n\n") + receptionui::SourceText(v);
        }
        m_panelText->setPlainText(text);
        m_verifyButton->setEnabled(HasSet());
    }
    if (overlay)
        m_overlay->SetSigns(signs);
}

std::vector<ws::RecordVerdict> AnalysisCommands::VerifySelectedSet() const
{
    if (!HasSet())
        return {};
    const DataSelection& s = m_doc.Selection();
    ws::Workspace workspace;
    const bool open = workspace.Open(m_doc.DataFilePath(), false).usable();
    return ws::VerifyRecords(open ? &workspace : nullptr, m_doc.DataFilePath(), m_doc.Store(),
                             {s.customer, s.cable, s.measData}, m_settings().TriggValidSec);
}

VerificationDialog* AnalysisCommands::ShowVerification()
{
    if (!HasSet())
        return nullptr;
    delete m_verification.data();
    const DataSelection& s = m_doc.Selection();
    m_verification = new VerificationDialog(
        ui::toQ(s.customer + " / " + s.cable + " / " + s.measData), VerifySelectedSet(), &m_frame);
    m_verification->setAttribute(Qt::WA_DeleteOnClose);
    m_verification->show();
    m_verification->raise();
    return m_verification;
}

AnalysisThresholds AnalysisCommands::Thresholds() const
{
    return ReadAnalysisThresholds(m_settings().SystemIniPath());
}

bool AnalysisCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_view || event->type() != QEvent::ToolTip)
        return false;
    auto* help = static_cast<QHelpEvent*>(event);
    // Over the test-result table ("title2") and the graph: the judgments and signs.
    const LayoutContext ctx{ReportMapping::forDevice(m_view), &m_view};
    bool over = false;
    if (Block* b = m_view.Report().grid().findBlock("title2"))
        over = ctx.mapping.toDevice(b->rect()).normalized().contains(help->pos());
    over = over ||
           ctx.mapping.toDevice(m_view.Report().graph().rect()).normalized().contains(help->pos());
    const QString text = over ? ExplanationText() : QString();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, &m_view);
    return true;
}
