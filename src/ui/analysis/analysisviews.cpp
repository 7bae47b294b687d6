// Turning the core's history, phase balance and step test results into charts and tables.
#include "ui/analysis/analysisviews.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <set>

#include "analysis/analysistext.h"
#include "analysis/history.h"
#include "analysis/phasebalance.h"
#include "analysis/steptest.h"
#include "model/cp932text.h"
#include "model/customerdb.h"
#include "ui/common/uitext.h"

namespace analysisui {

namespace {

using namespace analysis;

const QColor kGoodBand{222, 242, 222};
const QColor kCautionBand{255, 246, 210};
const QColor kBadBand{252, 224, 224};

// Distinct colours for the series of one chart (test voltages, phases, days).
QColor seriesColour(std::size_t i)
{
    static const QColor colours[] = {
        {31, 119, 180}, {214, 39, 40},  {44, 160, 44},  {148, 103, 189}, {255, 127, 14},
        {140, 86, 75},  {23, 190, 207}, {188, 189, 34}, {227, 119, 194}, {127, 127, 127}};
    return colours[i % std::size(colours)];
}

// The hue of a phase: R, S and T as the usual red, yellow (a dark amber, legible on paper)
// and blue; the three phases together and records without a phase in neutral tones.
QColor phaseColour(Phase p)
{
    switch (p) {
    case Phase::R: return {214, 39, 40};
    case Phase::S: return {204, 140, 0};
    case Phase::T: return {31, 100, 200};
    case Phase::ThreePhase: return {128, 64, 160};
    default: return {100, 100, 100};
    }
}

// The marker and line of the i-th test voltage, so that voltages of one phase (one hue) stay
// apart.
MarkerShape voltageMarker(std::size_t i)
{
    static const MarkerShape shapes[] = {MarkerShape::Circle,           MarkerShape::Square,
                                         MarkerShape::Triangle,         MarkerShape::Diamond,
                                         MarkerShape::InvertedTriangle, MarkerShape::Cross};
    return shapes[i % std::size(shapes)];
}

Qt::PenStyle voltageLine(std::size_t i)
{
    static const Qt::PenStyle lines[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                         Qt::DashDotDotLine};
    return lines[i % std::size(lines)];
}

bool isSet(double v)
{
    return v != UNSET_VALUE && std::isfinite(v);
}

QString num(double v, int decimals)
{
    return isSet(v) ? QString::number(v, 'f', decimals) : QStringLiteral("---");
}

QString q(const std::string& cp932)
{
    return ui::toQ(cp932);
}

QString judgmentWord(const std::vector<JudgmentExplanation>& e, JudgedValue which)
{
    for (const JudgmentExplanation& x : e)
        if (x.which == which && x.judgment)
            return q(JudgmentWord(*x.judgment));
    return {};
}

QString dateText(double oleDate, const char* pattern)
{
    OleDateTime d;
    d.date = oleDate;
    d.status = OleDateTime::Valid;
    return QString::fromStdString(d.format(pattern));
}

// "キック×2 漸増傾向": the signs of a record by kind.
QString signSummary(const CurveSigns& s)
{
    std::map<SignKind, int> counts;
    for (const CurveSign& sign : s.signs)
        ++counts[sign.kind];
    QStringList parts;
    for (const auto& [kind, n] : counts)
        parts << (n > 1 ? QStringLiteral("%1×%2").arg(q(SignKindText(kind))).arg(n)
                        : q(SignKindText(kind)));
    return parts.join(QLatin1Char(' '));
}

// Criteria bands of a value where low is good (final value, 弱点比).
std::vector<ChartBand> lowIsGoodBands(double min, double max)
{
    return {{-1e12, min, kGoodBand, QStringLiteral("良")},
            {min, max, kCautionBand, QStringLiteral("注意")},
            {max, 1e12, kBadBand, QStringLiteral("不良")}};
}

// … and where high is good (成極比).
std::vector<ChartBand> highIsGoodBands(double min, double max)
{
    return {{-1e12, min, kBadBand, QStringLiteral("不良")},
            {min, max, kCautionBand, QStringLiteral("注意")},
            {max, 1e12, kGoodBand, QStringLiteral("良")}};
}

// The value range of a chart: its points, and the band limits so the bands show.
void fitChart(Chart& c, std::vector<double> extra, bool zeroBased)
{
    std::vector<double> ys = std::move(extra);
    for (const ChartSeries& s : c.series)
        for (const QPointF& p : s.points)
            ys.push_back(p.y());
    fitRange(ys, zeroBased, c.yMin, c.yMax);
}

DataSelection target(const std::string& customer, const std::string& cable, const std::string& set,
                     std::size_t index)
{
    return {customer, cable, set, static_cast<int>(index)};
}

// A view with its document's title and the names it was built for.
AnalysisView startView(const QString& title, const std::string& customer,
                       const std::string& cableName, const std::string& measData)
{
    AnalysisView v;
    AnalysisDocument& d = v.doc;
    d.title = title;
    d.customer = customer;
    d.cable = cableName;
    d.measData = measData;
    return v;
}

// ---- 経年変化 ----

// A test voltage to 0.01 kV, the key of the history's series.
long voltageKey(double kv)
{
    return std::lround(kv * 100);
}

// The phases and test voltages the cable's records hold: the keys of the history's series.
// One series per test voltage in each chart; per phase and voltage when the cable was
// measured phase by phase, so the phases of one day do not hide each other. The phase sets
// the hue, the voltage the marker and the line.
struct SeriesKeys {
    std::set<Phase> phases;
    std::set<long> voltages;

    explicit SeriesKeys(const CableHistory& h)
    {
        for (const SetSummary& set : h.sets)
            for (const StepSummary& step : set.steps) {
                phases.insert(step.phase);
                voltages.insert(voltageKey(step.testVoltage));
            }
    }
    bool byPhase() const { return phases.size() > 1; }
    std::size_t voltageIndex(long v) const
    {
        return static_cast<std::size_t>(std::distance(voltages.begin(), voltages.find(v)));
    }
};

// The history's three charts: the final values across the page, 成極比 and 弱点比 below.
struct HistoryCharts {
    Chart finalChart, seikyoku, jyakuten;

    HistoryCharts()
    {
        finalChart.title = QStringLiteral("最終値の推移（試験電圧別）");
        finalChart.yLabel = QStringLiteral("最終値(μA)");
        finalChart.xLabel = QStringLiteral("試験日");
        seikyoku.title = QStringLiteral("成極比");
        jyakuten.title = QStringLiteral("弱点比");
    }
    std::array<Chart*, 3> all() { return {&finalChart, &seikyoku, &jyakuten}; }
    std::array<Chart*, 2> small() { return {&seikyoku, &jyakuten}; }
};

// What the walk over the records gathers besides the charts and rows.
struct HistoryTotals {
    std::vector<double> dates;           // the day of every charted point
    const CMeasRecord* latest = nullptr; // the latest dated record, whose criteria are shown
    double latestDay = 0;
    int bad = 0, caution = 0, signs = 0;
};

QStringList historyRow(const SetSummary& set, const StepSummary& step, std::optional<double> day)
{
    return {q(set.name),
            day ? dateText(*day, "%Y/%m/%d") : QString(),
            q(PhaseText(step.phase)),
            num(step.testVoltage, 2),
            num(step.finalValue, 3),
            judgmentWord(step.judgments, JudgedValue::LastCurrent),
            num(step.seikyokuRatio, 2),
            judgmentWord(step.judgments, JudgedValue::Seikyoku),
            num(step.jyakutenRatio, 2),
            judgmentWord(step.judgments, JudgedValue::Jyakuten),
            num(set.insulation, 1),
            signSummary(step.signs)};
}

// The series of a step's phase and voltage, added to every chart the first time it is met.
std::size_t seriesFor(const StepSummary& step, const SeriesKeys& keys, HistoryCharts& charts,
                      std::map<std::pair<int, long>, std::size_t>& seriesOf, AnalysisView& v)
{
    const bool byPhase = keys.byPhase();
    const long volt = voltageKey(step.testVoltage);
    const std::pair<int, long> key{byPhase ? static_cast<int>(step.phase) : 0, volt};
    auto [it, added] = seriesOf.try_emplace(key, charts.finalChart.series.size());
    if (added) {
        QString name = QStringLiteral("%1 kV").arg(num(step.testVoltage, 2));
        if (byPhase)
            name = QStringLiteral("%1 %2").arg(q(PhaseText(step.phase)), name);
        const std::size_t vi = keys.voltageIndex(volt);
        ChartSeries series{name,
                           byPhase ? phaseColour(step.phase) : seriesColour(vi),
                           SeriesStyle::LineAndPoints,
                           {},
                           voltageMarker(vi),
                           voltageLine(vi)};
        for (Chart* c : charts.all())
            c->series.push_back(series);
        v.pointTargets.emplace_back();
    }
    return it->second;
}

// One table row per record of every set, and a point per dated record in each chart.
HistoryTotals fillHistory(const CableHistory& h, const CCable& cable, const std::string& customer,
                          const std::string& cableName, const SeriesKeys& keys,
                          HistoryCharts& charts, AnalysisView& v)
{
    HistoryTotals totals;
    std::map<std::pair<int, long>, std::size_t> seriesOf;
    for (const SetSummary& set : h.sets) {
        totals.bad += set.badCount;
        totals.caution += set.cautionCount;
        totals.signs += set.signCount;
        const CMeasData* data = nullptr;
        if (const int at = cable.sets.Find(set.name); at >= 0)
            data = &cable.sets.At(at);
        for (const StepSummary& step : set.steps) {
            // Each point is dated by its own record; a record without a date takes its set's.
            std::optional<double> day = text::dayOf(step.start);
            if (!day)
                day = text::dayOf(set.start);
            if (day && data && step.index < data->Records().size() &&
                (!totals.latest || *day >= totals.latestDay)) {
                totals.latest = &data->Records()[step.index];
                totals.latestDay = *day;
            }
            v.rowTargets.push_back(target(customer, cableName, set.name, step.index));
            v.doc.rows.push_back(historyRow(set, step, day));
            if (!day)
                continue; // listed, but without a place on the time axis
            const std::size_t s = seriesFor(step, keys, charts, seriesOf, v);
            const double x = *day;
            totals.dates.push_back(x);
            charts.finalChart.series[s].points.emplace_back(x, step.finalValue);
            v.pointTargets[s].push_back(target(customer, cableName, set.name, step.index));
            if (isSet(step.seikyokuRatio))
                charts.seikyoku.series[s].points.emplace_back(x, step.seikyokuRatio);
            if (isSet(step.jyakutenRatio))
                charts.jyakuten.series[s].points.emplace_back(x, step.jyakutenRatio);
        }
    }
    return totals;
}

// Points of one series in time order (sets are ordered by their first record only); the
// final values keep their measurements beside them.
void sortByTime(HistoryCharts& charts, std::vector<std::vector<DataSelection>>& pointTargets)
{
    for (std::size_t si = 0; si < charts.finalChart.series.size(); ++si) {
        std::vector<QPointF>& pts = charts.finalChart.series[si].points;
        std::vector<std::size_t> order(pts.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            order[k] = k;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return pts[a].x() < pts[b].x(); });
        std::vector<QPointF> sortedPts;
        std::vector<DataSelection> sortedTargets;
        for (std::size_t k : order) {
            sortedPts.push_back(pts[k]);
            sortedTargets.push_back(pointTargets[si][k]);
        }
        pts = std::move(sortedPts);
        pointTargets[si] = std::move(sortedTargets);
    }
    for (Chart* c : charts.small())
        for (ChartSeries& series : c->series)
            std::stable_sort(series.points.begin(), series.points.end(),
                             [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
}

// The small charts have no room for a line per series: their legend gives the key of the
// hues (phases) and of the markers and lines (voltages) instead.
void keyLegend(HistoryCharts& charts, const SeriesKeys& keys)
{
    if (!keys.byPhase())
        return;
    for (Chart* c : charts.small()) {
        for (ChartSeries& series : c->series)
            series.name.clear();
        for (Phase p : keys.phases)
            c->series.push_back({q(PhaseText(p)), phaseColour(p), SeriesStyle::Line, {}});
        for (long volt : keys.voltages)
            c->series.push_back({QStringLiteral("%1 kV").arg(num(volt / 100.0, 2)),
                                 QColor(90, 90, 90),
                                 SeriesStyle::LineAndPoints,
                                 {},
                                 voltageMarker(keys.voltageIndex(volt)),
                                 voltageLine(keys.voltageIndex(volt))});
    }
}

// The first and last day of the charted points.
struct DaySpan {
    double lo = 0, hi = 1;
};

// The time axis of every chart: a tick at each day with a point, padded at both ends.
DaySpan timeAxis(HistoryCharts& charts, std::vector<double> dates)
{
    DaySpan span;
    if (!dates.empty()) {
        span.lo = *std::min_element(dates.begin(), dates.end());
        span.hi = *std::max_element(dates.begin(), dates.end());
    }
    const double pad = std::max(20.0, (span.hi - span.lo) * 0.06);
    std::sort(dates.begin(), dates.end());
    dates.erase(std::unique(dates.begin(), dates.end()), dates.end());
    // Dates within two years show the day; longer spans the month. Both carry the year.
    const bool shortSpan = span.hi - span.lo < 730;
    for (Chart* c : charts.all()) {
        c->xMin = span.lo - pad;
        c->xMax = span.hi + pad;
        c->xTicks = dates;
        c->xText = [shortSpan](double x) { return dateText(x, shortSpan ? "%Y/%m/%d" : "%Y/%m"); };
    }
    return span;
}

// The criteria of the latest dated set are the bands (sets may carry other criteria); the
// value ranges hold the points and those bands.
void criteriaBands(HistoryCharts& charts, const CMeasRecord* latest)
{
    if (!latest) {
        for (Chart* c : charts.all())
            fitChart(*c, {}, true);
        return;
    }
    const CTestCondition& k = latest->Condition;
    charts.finalChart.bands = lowIsGoodBands(k.LastCurrentMin, k.LastCurrentMax);
    charts.seikyoku.bands = highIsGoodBands(k.SeikyokuMin, k.SeikyokuMax);
    charts.jyakuten.bands = lowIsGoodBands(k.JyakutenMin, k.JyakutenMax);
    fitChart(charts.finalChart, {k.LastCurrentMax * 1.2}, true);
    fitChart(charts.seikyoku, {k.SeikyokuMax * 1.3}, true);
    fitChart(charts.jyakuten, {k.JyakutenMax * 1.2}, true);
}

QString historyNote(const CableHistory& h, const HistoryTotals& totals, const DaySpan& days)
{
    if (h.sets.empty())
        return QStringLiteral("このケーブルには測定データがありません");
    QString span;
    if (!totals.dates.empty())
        span = QStringLiteral("（%1 ～ %2）")
                   .arg(dateText(days.lo, "%Y/%m/%d"), dateText(days.hi, "%Y/%m/%d"));
    return QStringLiteral("測定データ %1 件%2　不良 %3 件　注意 %4 件　兆候 %5 件")
        .arg(h.sets.size())
        .arg(span)
        .arg(totals.bad)
        .arg(totals.caution)
        .arg(totals.signs);
}

// ---- 相間比較 ----

QString unbalanceJudgment(const Unbalance& u)
{
    if (u.status != UnbalanceStatus::Ok)
        return QString();
    return u.exceeds ? QStringLiteral("不良") : QStringLiteral("良");
}

Chart phaseChart()
{
    Chart c;
    c.title = QStringLiteral("相別の最終値");
    c.yLabel = QStringLiteral("最終値(μA)");
    c.xLabel = QStringLiteral("相");
    c.categories = {QStringLiteral("Ｒ相"), QStringLiteral("Ｓ相"), QStringLiteral("Ｔ相")};
    c.xMin = -0.5;
    c.xMax = 2.5;
    c.emptyText = QStringLiteral("Ｒ相・Ｓ相・Ｔ相の測定がありません");
    return c;
}

QStringList phaseRow(const PhaseGroup& pg)
{
    auto phaseValue = [&](int ph) {
        return pg.finalValue[ph] ? num(*pg.finalValue[ph], 3) : QStringLiteral("---");
    };
    auto shieldValue = [&](int ph) {
        return pg.shieldCurrent[ph] ? num(*pg.shieldCurrent[ph], 1) : QStringLiteral("---");
    };
    return {q(pg.dayText),
            num(pg.testVoltage, 2),
            phaseValue(0),
            phaseValue(1),
            phaseValue(2),
            q(pg.leakage.text),
            unbalanceJudgment(pg.leakage),
            shieldValue(0),
            shieldValue(1),
            shieldValue(2),
            q(pg.shield.text),
            unbalanceJudgment(pg.shield),
            q(pg.note)};
}

// The record of the selected set in this group, for a double-click on the row; when the set
// holds none of the row's phases, the row's first record.
const RecordRef* rowRecord(const PhaseGroup& pg, const std::string& setName)
{
    const RecordRef* chosen = nullptr;
    for (const auto& ref : pg.record)
        if (ref && (!chosen || (ref->setName == setName && chosen->setName != setName)))
            chosen = &*ref;
    return chosen;
}

QString phaseNote(const PhaseGroup& pg, const QString& label, const QString& limit)
{
    QString note = QStringLiteral("%1：最終値の不平衡率 ").arg(label);
    if (pg.leakage.status == UnbalanceStatus::Ok)
        note += QStringLiteral("%1 %2 %3 % → %4")
                    .arg(q(pg.leakage.text),
                         pg.leakage.exceeds ? QStringLiteral("≧") : QStringLiteral("＜"), limit,
                         unbalanceJudgment(pg.leakage));
    else
        note += QStringLiteral("--- (%1)")
                    .arg(pg.note.empty() ? QStringLiteral("平均値が 0") : q(pg.note));
    if (pg.shield.status == UnbalanceStatus::Ok)
        note += QStringLiteral("　漏れ電流の不平衡率 %1 → %2")
                    .arg(q(pg.shield.text), unbalanceJudgment(pg.shield));
    return note;
}

} // namespace

AnalysisView BuildHistoryView(const std::string& customer, const std::string& cableName,
                              const CCable& cable, const AnalysisThresholds& t)
{
    const CableHistory h = BuildCableHistory(customer, cable, t);
    AnalysisView v =
        startView(QStringLiteral("経年変化"), customer, cableName, cp932::lit("全データ"));
    AnalysisDocument& d = v.doc;

    const SeriesKeys keys(h);
    HistoryCharts charts;
    const HistoryTotals totals = fillHistory(h, cable, customer, cableName, keys, charts, v);
    sortByTime(charts, v.pointTargets);
    keyLegend(charts, keys);
    const DaySpan days = timeAxis(charts, totals.dates);
    criteriaBands(charts, totals.latest);
    d.charts = {charts.finalChart, charts.seikyoku, charts.jyakuten};
    d.notes << historyNote(h, totals, days);
    d.header = {
        QStringLiteral("測定データ"), QStringLiteral("試験日"),      QStringLiteral("相"),
        QStringLiteral("電圧(kV)"),   QStringLiteral("最終値(μA)"),  QStringLiteral("判定"),
        QStringLiteral("成極比"),     QStringLiteral("判定"),        QStringLiteral("弱点比"),
        QStringLiteral("判定"),       QStringLiteral("ｼｰｽ絶縁(MΩ)"), QStringLiteral("兆候")};
    d.columnWeights = {1.4, 1.3, 0.9, 0.9, 1.1, 0.7, 0.9, 0.7, 0.9, 0.7, 1.1, 2.6};
    return v;
}

AnalysisView BuildPhaseView(const std::string& customer, const std::string& cableName,
                            const CCable& cable, const std::string& setName,
                            const AnalysisThresholds& t)
{
    const std::vector<PhaseGroup> groups = PhaseBalanceAroundSet(cable, setName, t);
    AnalysisView v = startView(QStringLiteral("相間比較"), customer, cableName, setName);
    AnalysisDocument& d = v.doc;

    Chart c = phaseChart();
    const QString limit = QString::number(t.unbalanceLimitPercent, 'f', 1);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const PhaseGroup& pg = groups[g];
        const QString label =
            QStringLiteral("%1 %2 kV").arg(q(pg.dayText), num(pg.testVoltage, 2)).trimmed();
        // A series per group over the three phases, each point with its measurement.
        ChartSeries s{label, seriesColour(g), SeriesStyle::LineAndPoints, {}};
        std::vector<DataSelection> targets;
        for (int ph = 0; ph < 3; ++ph) {
            if (!pg.finalValue[ph])
                continue;
            s.points.emplace_back(ph, *pg.finalValue[ph]);
            const RecordRef& ref = *pg.record[ph];
            targets.push_back(target(customer, cableName, ref.setName, ref.index));
        }
        c.series.push_back(std::move(s));
        v.pointTargets.push_back(std::move(targets));

        d.rows.push_back(phaseRow(pg));
        const RecordRef* chosen = rowRecord(pg, setName);
        v.rowTargets.push_back(chosen ? target(customer, cableName, chosen->setName, chosen->index)
                                      : DataSelection());
        d.notes << phaseNote(pg, label, limit);
    }
    if (groups.empty())
        d.notes << c.emptyText;
    fitChart(c, {}, true);
    d.charts = {c};
    d.header = {QStringLiteral("試験日"),
                QStringLiteral("電圧(kV)"),
                QStringLiteral("Ｒ相(μA)"),
                QStringLiteral("Ｓ相(μA)"),
                QStringLiteral("Ｔ相(μA)"),
                QStringLiteral("最終値不平衡率"),
                QStringLiteral("判定"),
                QStringLiteral("漏れ電流Ｒ(mA)"),
                QStringLiteral("漏れ電流Ｓ(mA)"),
                QStringLiteral("漏れ電流Ｔ(mA)"),
                QStringLiteral("漏れ電流不平衡率"),
                QStringLiteral("判定"),
                QStringLiteral("備考")};
    d.columnWeights = {1.3, 0.8, 1.0, 1.0, 1.0, 1.2, 0.6, 1.2, 1.2, 1.2, 1.3, 0.6, 2.2};
    return v;
}

AnalysisView BuildStepView(const std::string& customer, const std::string& cableName,
                           const CCable& cable, const std::string& setName,
                           const AnalysisThresholds& t)
{
    AnalysisView v = startView(QStringLiteral("電圧特性"), customer, cableName, setName);
    AnalysisDocument& d = v.doc;
    std::vector<StepCurve> curves;
    if (const int at = cable.sets.Find(setName); at >= 0)
        curves = AnalyzeSteps(cable.sets.At(at), t);

    Chart c;
    c.title = QStringLiteral("試験電圧と最終値");
    c.xLabel = QStringLiteral("試験電圧(kV)");
    c.yLabel = QStringLiteral("最終値(μA)");
    c.emptyText = QStringLiteral("最終値のある測定がありません");
    std::vector<double> xs{0.0};
    const bool several = curves.size() > 1;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const StepCurve& curve = curves[i];
        const QString phase = q(PhaseText(curve.phase));
        ChartSeries measured{several ? phase : QStringLiteral("最終値"),
                             seriesColour(i),
                             SeriesStyle::LineAndPoints,
                             {}};
        std::vector<DataSelection> targets;
        double vMax = 0;
        for (const StepPoint& s : curve.steps) {
            measured.points.emplace_back(s.testVoltage, s.finalValue);
            targets.push_back(target(customer, cableName, setName, s.index));
            vMax = std::max(vMax, s.testVoltage);
            xs.push_back(s.testVoltage);
            v.rowTargets.push_back(target(customer, cableName, setName, s.index));
            d.rows.push_back({phase, num(s.testVoltage, 2), num(s.finalValue, 3),
                              num(s.lineValue, 3), num(s.lineRatio, 2), num(s.jyakutenRatio, 2),
                              s.knee ? QStringLiteral("屈曲点") : QString()});
        }
        c.series.push_back(std::move(measured));
        v.pointTargets.push_back(std::move(targets));
        if (curve.steps.size() > 1 && std::isfinite(curve.slope)) {
            ChartSeries line{several ? QStringLiteral("%1 直線").arg(phase)
                                     : QStringLiteral("低い段階の直線"),
                             seriesColour(i).lighter(140),
                             SeriesStyle::DashedLine,
                             {}};
            line.points = {{0.0, 0.0}, {vMax, curve.slope * vMax}};
            c.series.push_back(std::move(line));
            v.pointTargets.emplace_back(); // the line has no measurements behind it
        }
        if (curve.kneeIndex >= 0 && curve.kneeIndex < static_cast<int>(curve.steps.size())) {
            const StepPoint& k = curve.steps[curve.kneeIndex];
            c.markers.push_back({QPointF(k.testVoltage, k.finalValue),
                                 QStringLiteral("屈曲点 %1 kV").arg(num(k.testVoltage, 2))});
        }
        d.notes << (several ? QStringLiteral("%1：%2").arg(phase, q(curve.text)) : q(curve.text));
    }
    if (curves.empty())
        d.notes << c.emptyText;
    const double vMax = *std::max_element(xs.begin(), xs.end());
    c.xMin = 0.0;
    c.xMax = vMax > 0 ? vMax * 1.1 : 1.0;
    fitChart(c, {}, true);
    d.charts = {c};
    d.header = {QStringLiteral("相"),         QStringLiteral("電圧(kV)"),
                QStringLiteral("最終値(μA)"), QStringLiteral("直線の値(μA)"),
                QStringLiteral("直線比"),     QStringLiteral("弱点比"),
                QStringLiteral("屈曲点")};
    return v;
}

} // namespace analysisui
