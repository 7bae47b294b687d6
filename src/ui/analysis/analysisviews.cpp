// Turning the core's history, phase balance and step test results into charts and tables.
#include "ui/analysis/analysisviews.h"

#include <algorithm>
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

} // namespace

AnalysisView BuildHistoryView(const std::string& customer, const std::string& cableName,
                              const CCable& cable, const AnalysisThresholds& t)
{
    const CableHistory h = BuildCableHistory(customer, cable, t);
    AnalysisView v;
    AnalysisDocument& d = v.doc;
    d.title = QStringLiteral("経年変化");
    d.customer = customer;
    d.cable = cableName;
    d.measData = cp932::lit("全データ");

    Chart finalChart;
    finalChart.title = QStringLiteral("最終値の推移（試験電圧別）");
    finalChart.yLabel = QStringLiteral("最終値(μA)");
    finalChart.xLabel = QStringLiteral("試験日");
    Chart seikyoku;
    seikyoku.title = QStringLiteral("成極比");
    Chart jyakuten;
    jyakuten.title = QStringLiteral("弱点比");

    // One series per test voltage (to 0.01 kV) in each chart; per phase and voltage when the
    // cable was measured phase by phase, so the phases of one day do not hide each other. The
    // phase sets the hue, the voltage the marker and the line.
    std::set<Phase> phases;
    std::set<long> voltages;
    for (const SetSummary& set : h.sets)
        for (const StepSummary& step : set.steps) {
            phases.insert(step.phase);
            voltages.insert(std::lround(step.testVoltage * 100));
        }
    const bool byPhase = phases.size() > 1;
    auto voltageIndex = [&](long v) {
        return static_cast<std::size_t>(std::distance(voltages.begin(), voltages.find(v)));
    };
    std::map<std::pair<int, long>, std::size_t> seriesOf;
    std::vector<double> dates;
    const CMeasRecord* latest = nullptr;
    double latestDay = 0;
    int bad = 0, caution = 0, signs = 0;
    for (const SetSummary& set : h.sets) {
        bad += set.badCount;
        caution += set.cautionCount;
        signs += set.signCount;
        const CMeasData* data = nullptr;
        if (const int at = cable.sets.Find(set.name); at >= 0)
            data = &cable.sets.At(at);
        for (const StepSummary& step : set.steps) {
            const CurveSigns& sg = step.signs;
            // Each point is dated by its own record; a record without a date takes its set's.
            std::optional<double> day = text::dayOf(step.start);
            if (!day)
                day = text::dayOf(set.start);
            if (day && data && step.index < data->Records().size() &&
                (!latest || *day >= latestDay)) {
                latest = &data->Records()[step.index];
                latestDay = *day;
            }
            v.rowTargets.push_back(target(customer, cableName, set.name, step.index));
            d.rows.push_back(
                {q(set.name), day ? dateText(*day, "%Y/%m/%d") : QString(),
                 q(PhaseText(step.phase)), num(step.testVoltage, 2), num(step.finalValue, 3),
                 judgmentWord(step.judgments, JudgedValue::LastCurrent), num(step.seikyokuRatio, 2),
                 judgmentWord(step.judgments, JudgedValue::Seikyoku), num(step.jyakutenRatio, 2),
                 judgmentWord(step.judgments, JudgedValue::Jyakuten), num(set.insulation, 1),
                 signSummary(sg)});
            if (!day)
                continue; // listed, but without a place on the time axis
            const long volt = std::lround(step.testVoltage * 100);
            const std::pair<int, long> key{byPhase ? static_cast<int>(step.phase) : 0, volt};
            auto [it, added] = seriesOf.try_emplace(key, finalChart.series.size());
            if (added) {
                QString name = QStringLiteral("%1 kV").arg(num(step.testVoltage, 2));
                if (byPhase)
                    name = QStringLiteral("%1 %2").arg(q(PhaseText(step.phase)), name);
                const std::size_t vi = voltageIndex(volt);
                ChartSeries series{name,
                                   byPhase ? phaseColour(step.phase) : seriesColour(vi),
                                   SeriesStyle::LineAndPoints,
                                   {},
                                   voltageMarker(vi),
                                   voltageLine(vi)};
                for (Chart* c : {&finalChart, &seikyoku, &jyakuten})
                    c->series.push_back(series);
                v.pointTargets.emplace_back();
            }
            const std::size_t s = it->second;
            const double x = *day;
            dates.push_back(x);
            finalChart.series[s].points.emplace_back(x, step.finalValue);
            v.pointTargets[s].push_back(target(customer, cableName, set.name, step.index));
            if (isSet(step.seikyokuRatio))
                seikyoku.series[s].points.emplace_back(x, step.seikyokuRatio);
            if (isSet(step.jyakutenRatio))
                jyakuten.series[s].points.emplace_back(x, step.jyakutenRatio);
        }
    }
    // Points of one series in time order (sets are ordered by their first record only); the
    // final values keep their measurements beside them.
    for (std::size_t si = 0; si < finalChart.series.size(); ++si) {
        std::vector<QPointF>& pts = finalChart.series[si].points;
        std::vector<std::size_t> order(pts.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            order[k] = k;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return pts[a].x() < pts[b].x(); });
        std::vector<QPointF> sortedPts;
        std::vector<DataSelection> sortedTargets;
        for (std::size_t k : order) {
            sortedPts.push_back(pts[k]);
            sortedTargets.push_back(v.pointTargets[si][k]);
        }
        pts = std::move(sortedPts);
        v.pointTargets[si] = std::move(sortedTargets);
    }
    for (Chart* c : {&seikyoku, &jyakuten})
        for (ChartSeries& series : c->series)
            std::stable_sort(series.points.begin(), series.points.end(),
                             [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });

    // The small charts have no room for a line per series: their legend gives the key of the
    // hues (phases) and of the markers and lines (voltages) instead.
    if (byPhase)
        for (Chart* c : {&seikyoku, &jyakuten}) {
            for (ChartSeries& series : c->series)
                series.name.clear();
            for (Phase p : phases)
                c->series.push_back({q(PhaseText(p)), phaseColour(p), SeriesStyle::Line, {}});
            for (long volt : voltages)
                c->series.push_back({QStringLiteral("%1 kV").arg(num(volt / 100.0, 2)),
                                     QColor(90, 90, 90),
                                     SeriesStyle::LineAndPoints,
                                     {},
                                     voltageMarker(voltageIndex(volt)),
                                     voltageLine(voltageIndex(volt))});
        }

    double lo = 0, hi = 1;
    if (!dates.empty()) {
        lo = *std::min_element(dates.begin(), dates.end());
        hi = *std::max_element(dates.begin(), dates.end());
    }
    const double pad = std::max(20.0, (hi - lo) * 0.06);
    std::sort(dates.begin(), dates.end());
    dates.erase(std::unique(dates.begin(), dates.end()), dates.end());
    // Dates within two years show the day; longer spans the month. Both carry the year.
    const bool shortSpan = hi - lo < 730;
    for (Chart* c : {&finalChart, &seikyoku, &jyakuten}) {
        c->xMin = lo - pad;
        c->xMax = hi + pad;
        c->xTicks = dates;
        c->xText = [shortSpan](double x) { return dateText(x, shortSpan ? "%Y/%m/%d" : "%Y/%m"); };
    }
    // The criteria of the latest dated set are the bands (sets may carry other criteria).
    if (latest) {
        const CTestCondition& k = latest->Condition;
        finalChart.bands = lowIsGoodBands(k.LastCurrentMin, k.LastCurrentMax);
        seikyoku.bands = highIsGoodBands(k.SeikyokuMin, k.SeikyokuMax);
        jyakuten.bands = lowIsGoodBands(k.JyakutenMin, k.JyakutenMax);
        fitChart(finalChart, {k.LastCurrentMax * 1.2}, true);
        fitChart(seikyoku, {k.SeikyokuMax * 1.3}, true);
        fitChart(jyakuten, {k.JyakutenMax * 1.2}, true);
    } else {
        for (Chart* c : {&finalChart, &seikyoku, &jyakuten})
            fitChart(*c, {}, true);
    }
    d.charts = {finalChart, seikyoku, jyakuten};

    if (h.sets.empty()) {
        d.notes << QStringLiteral("このケーブルには測定データがありません");
    } else {
        QString span;
        if (!dates.empty())
            span = QStringLiteral("（%1 ～ %2）")
                       .arg(dateText(lo, "%Y/%m/%d"), dateText(hi, "%Y/%m/%d"));
        d.notes << QStringLiteral("測定データ %1 件%2　不良 %3 件　注意 %4 件　兆候 %5 件")
                       .arg(h.sets.size())
                       .arg(span)
                       .arg(bad)
                       .arg(caution)
                       .arg(signs);
    }
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
    AnalysisView v;
    AnalysisDocument& d = v.doc;
    d.title = QStringLiteral("相間比較");
    d.customer = customer;
    d.cable = cableName;
    d.measData = setName;

    Chart c;
    c.title = QStringLiteral("相別の最終値");
    c.yLabel = QStringLiteral("最終値(μA)");
    c.xLabel = QStringLiteral("相");
    c.categories = {QStringLiteral("Ｒ相"), QStringLiteral("Ｓ相"), QStringLiteral("Ｔ相")};
    c.xMin = -0.5;
    c.xMax = 2.5;
    c.emptyText = QStringLiteral("Ｒ相・Ｓ相・Ｔ相の測定がありません");
    const QString limit = QString::number(t.unbalanceLimitPercent, 'f', 1);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const PhaseGroup& pg = groups[g];
        const QString label =
            QStringLiteral("%1 %2 kV").arg(q(pg.dayText), num(pg.testVoltage, 2)).trimmed();
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

        auto phaseValue = [&](int ph) {
            return pg.finalValue[ph] ? num(*pg.finalValue[ph], 3) : QStringLiteral("---");
        };
        auto shieldValue = [&](int ph) {
            return pg.shieldCurrent[ph] ? num(*pg.shieldCurrent[ph], 1) : QStringLiteral("---");
        };
        const QString judged =
            pg.leakage.status != UnbalanceStatus::Ok
                ? QString()
                : (pg.leakage.exceeds ? QStringLiteral("不良") : QStringLiteral("良"));
        const QString shieldJudged =
            pg.shield.status != UnbalanceStatus::Ok
                ? QString()
                : (pg.shield.exceeds ? QStringLiteral("不良") : QStringLiteral("良"));
        d.rows.push_back({q(pg.dayText), num(pg.testVoltage, 2), phaseValue(0), phaseValue(1),
                          phaseValue(2), q(pg.leakage.text), judged, shieldValue(0), shieldValue(1),
                          shieldValue(2), q(pg.shield.text), shieldJudged, q(pg.note)});
        // The record of the selected set in this group, for a double-click on the row; when the
        // set holds none of the row's phases, the row's first record.
        const RecordRef* chosen = nullptr;
        for (const auto& ref : pg.record)
            if (ref && (!chosen || (ref->setName == setName && chosen->setName != setName)))
                chosen = &*ref;
        v.rowTargets.push_back(chosen ? target(customer, cableName, chosen->setName, chosen->index)
                                      : DataSelection());

        QString note = QStringLiteral("%1：最終値の不平衡率 ").arg(label);
        if (pg.leakage.status == UnbalanceStatus::Ok)
            note += QStringLiteral("%1 %2 %3 % → %4")
                        .arg(q(pg.leakage.text),
                             pg.leakage.exceeds ? QStringLiteral("≧") : QStringLiteral("＜"), limit,
                             judged);
        else
            note += QStringLiteral("--- (%1)")
                        .arg(pg.note.empty() ? QStringLiteral("平均値が 0") : q(pg.note));
        if (pg.shield.status == UnbalanceStatus::Ok)
            note +=
                QStringLiteral("　漏れ電流の不平衡率 %1 → %2").arg(q(pg.shield.text), shieldJudged);
        d.notes << note;
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
    AnalysisView v;
    AnalysisDocument& d = v.doc;
    d.title = QStringLiteral("電圧特性");
    d.customer = customer;
    d.cable = cableName;
    d.measData = setName;
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
