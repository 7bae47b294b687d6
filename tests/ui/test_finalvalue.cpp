// The final value selection: point lines, the elapsed correction, box numbers, applying the
// chosen point to a record and its set, the list model, and the dialog driven as a user would
// (boxes, buttons, the question, OK and Cancel through exec).
#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>
#include "support/whenmodal.h"

#include <functional>

#include "link/emulator.h"
#include "model/cp932text.h"
#include "model/format.h"
#include "support/scriptedmessages.h"
#include "support/directsetedits.h"
#include "support/widgetgrab.h"
#include "ui/dialogs/finalvaluepoints.h"
#include "ui/dialogs/finalvaluedialog.h"
#include "ui/dialogs/finalvaluelist.h"

namespace fv = finalvalue;

namespace {

std::vector<CMeasPoint> pointsAt(const std::vector<std::pair<double, double>>& secondsValue)
{
    std::vector<CMeasPoint> points;
    for (const auto& [t, v] : secondsValue)
        points.push_back(CMeasPoint{CDataValue(v), t});
    return points;
}

// A 0.2 s series of `count` points: values from f(seconds).
CMeasRecord series(int count, const std::function<double(double)>& f, double voltage = 10.0)
{
    CMeasRecord r;
    r.RangeFlag = 1;
    r.TestVoltage = voltage;
    r.TriggerLevel = 5.0;
    for (int i = 0; i < count; ++i) {
        const double t = i * 0.2;
        r.Points.push_back(CMeasPoint{CDataValue(f(t)), t});
    }
    r.UsedPoints = count;
    return r;
}

void whenModal(std::function<void(FinalValueDialog&)> during)
{
    guitest::whenModal<FinalValueDialog>(std::move(during));
}

} // namespace

TEST(FinalValuePoints, LineTextMarksOnlyTheFinalPoint)
{
    const auto points = pointsAt({{83.4, 12.3}, {0.0, 2.345}});
    const std::string mark = cp932::lit("|●01:23.4(   12.3 )");
    EXPECT_EQ(fv::PointLineText(points, 0, 0, 1), mark);
    EXPECT_EQ(fv::PointLineText(points, 0, 1, 1), "|  01:23.4(   12.3 )");
    EXPECT_EQ(fv::PointLineText(points, 0, -1, 1), "|  01:23.4(   12.3 )");
    EXPECT_EQ(fv::PointLineText(points, 1, -1, 0), "|  00:00.0(  2.345 )");
    // Lines outside the points are empty.
    EXPECT_EQ(fv::PointLineText(points, 2, 2, 1), "");
    EXPECT_EQ(fv::PointLineText(points, -1, -1, 1), "");
}

TEST(FinalValuePoints, FinalIndexStaysInsideThePoints)
{
    CMeasRecord r = series(10, [](double) { return 1.0; });
    const std::pair<int, int> cases[] = {{0, -1}, {1, 0}, {5, 4}, {10, 9}, {25, 9}, {-3, -1}};
    for (const auto& [used, expected] : cases) {
        r.UsedPoints = used;
        EXPECT_EQ(fv::FinalPointIndex(r), expected) << used;
    }
    CMeasRecord empty;
    empty.UsedPoints = 4; // a damaged count without points
    EXPECT_EQ(fv::FinalPointIndex(empty), -1);
}

TEST(FinalValuePoints, ElapsedCorrection)
{
    auto elapsed = [](const std::vector<CMeasPoint>& p) {
        std::vector<double> t;
        for (const auto& x : p)
            t.push_back(x.elapsed);
        return t;
    };
    const auto base = pointsAt({{3.1, 1}, {7.7, 2}, {9.0, 3}, {12.5, 4}, {20.0, 5}});
    // First point: 0, 0.2, 0.4 ... whatever the former times; values untouched.
    auto p = base;
    fv::CorrectElapsedFrom(p, 0);
    EXPECT_EQ(elapsed(p), (std::vector<double>{0.0, 2 * 0.1, 4 * 0.1, 6 * 0.1, 8 * 0.1}));
    EXPECT_EQ(p[3].value.toDouble(), 4.0);
    // Middle point: earlier points become 0.
    p = base;
    fv::CorrectElapsedFrom(p, 2);
    EXPECT_EQ(elapsed(p), (std::vector<double>{0.0, 0.0, 0.0, 0.2, 0.4}));
    // Last point: everything 0.
    p = base;
    fv::CorrectElapsedFrom(p, 4);
    EXPECT_EQ(elapsed(p), std::vector<double>(5, 0.0));
    // Outside the points: nothing changes.
    p = base;
    fv::CorrectElapsedFrom(p, 5);
    EXPECT_EQ(p, base);
    // Far into a long record the steps are still exact multiples (no drift of a running sum).
    std::vector<CMeasPoint> longSeries(65535);
    fv::CorrectElapsedFrom(longSeries, 0);
    EXPECT_EQ(longSeries.back().elapsed, 2.0 * 65534 * 0.1);
    EXPECT_EQ(mxrfmt::PointTimeText(longSeries.back()), "218:26.8");
}

TEST(FinalValuePoints, BoxNumbers)
{
    struct Case {
        const char* text;
        double max;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"12.5", fv::kValueMax, 12.5},
        {"  3 ", fv::kValueMax, 3.0},
        {"0", fv::kValueMax, 0.0},
        {"99999.999", fv::kValueMax, 99999.999},
        {"100000", fv::kValueMax, std::nullopt},
        {"99999.95", fv::kElapsedMax, std::nullopt},
        {"99999.9", fv::kElapsedMax, 99999.9},
        {"1e3", fv::kValueMax, 1000.0},
        {"+2.5", fv::kValueMax, 2.5},
        {"+-2", fv::kValueMax, std::nullopt},
        {"1.2.3", fv::kValueMax, std::nullopt},
        {"-0.1", fv::kValueMax, std::nullopt},
        {"", fv::kValueMax, std::nullopt},
        {"abc", fv::kValueMax, std::nullopt},
        {"1.5x", fv::kValueMax, std::nullopt},
        {"1,5", fv::kValueMax, std::nullopt},
        {"0x10", fv::kValueMax, std::nullopt},
        {"inf", fv::kValueMax, std::nullopt},
        {"nan", fv::kValueMax, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fv::ParseBoxNumber(c.text, 0.0, c.max), c.expected) << c.text;
    EXPECT_EQ(fv::BoxNumberText(0.0), "0");
    EXPECT_EQ(fv::BoxNumberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(fv::RangeMessage(0, fv::kValueMax),
              "0 から 99999.999 までの数字を入力してください。");
}

TEST(FinalValuePoints, ApplyingAFinalPointRecomputesTheRecordAndTheSetRatios)
{
    // Two steps of 90 s; the first has a spike at 5 s (inside the trigger dead time) and one
    // at 70-71 s above its trigger setting of 25 μA. Its current falls from 20 μA to 2 μA.
    auto first = [](double t) {
        if (t >= 4.9 && t <= 5.1)
            return 50.0;
        if (t >= 70.0 && t <= 71.0)
            return 30.0;
        return t < 60.1 ? 20.0 - t * 0.25 : 2.0;
    };
    CMeasData set;
    set.AppendRecord(series(451, first, 10.0));
    const auto flat = [](double) { return 4.0; };
    set.AppendRecord(series(451, flat, 20.0));
    set.RecordAt(0).TriggerLevel = 25.0;
    for (auto& r : set.Records())
        r.RecalcFinalAndTriggers(-1, 10);
    RecalcRatios(set);
    const CMeasData before = set;
    ASSERT_EQ(set.RecordAt(0).Triggers.size(), 1u);

    // Final point at 65 s (index 325): earlier than the spike at 70 s.
    auto points = set.RecordAt(0).Points;
    ASSERT_TRUE(fv::ApplyToSet(set, 0, points, 325, 10));
    const CMeasRecord& r0 = set.RecordAt(0);
    EXPECT_EQ(r0.UsedPoints, 326);
    EXPECT_EQ(r0.LastCurrent, 2.0);
    EXPECT_TRUE(r0.Triggers.empty());
    // The one-minute value is 5 μA; both ratios follow the new final value.
    EXPECT_DOUBLE_EQ(r0.SeikyokuRatio, 5.0 / 2.0);
    EXPECT_DOUBLE_EQ(r0.JyakutenRatio, (10.0 / 2.0) / (20.0 / 4.0));
    EXPECT_EQ(set.RecordAt(1), before.RecordAt(1));

    // The TriggValidSec setting decides whether the spike at 5 s counts.
    ASSERT_TRUE(fv::ApplyToSet(set, 0, points, 325, 4));
    ASSERT_EQ(set.RecordAt(0).Triggers.size(), 1u);
    EXPECT_EQ(set.RecordAt(0).Triggers[0].maximum.toDouble(), 50.0);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).Triggers[0].start, 5.0);

    // A final point before one minute: the ratios are still taken from the one-minute point,
    // which is searched over all points; the edited values are kept.
    points[2].value.setDouble(0.0);
    ASSERT_TRUE(fv::ApplyToSet(set, 0, points, 2, 10));
    EXPECT_EQ(set.RecordAt(0).LastCurrent, 0.0);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).SeikyokuRatio, 5.0 / 0.001);
    EXPECT_EQ(set.RecordAt(0).Points[2].value.toDouble(), 0.0);

    // No final point means no used points, not all of them.
    ASSERT_TRUE(fv::ApplyToSet(set, 0, points, -1, 10));
    EXPECT_EQ(set.RecordAt(0).UsedPoints, 0);
    EXPECT_EQ(set.RecordAt(0).LastCurrent, 0.0);

    // A record index outside the set changes nothing.
    const CMeasData now = set;
    EXPECT_FALSE(fv::ApplyToSet(set, 2, points, 3, 10));
    EXPECT_EQ(set, now);
}

TEST(FinalValueList, ModelShowsLinesAndRedrawsOnlyWhatChanged)
{
    const auto points = pointsAt({{0.0, 1.0}, {0.2, 2.0}, {0.4, 3.0}, {0.6, 4.0}});
    FinalValueListModel model;
    model.SetData(1, -1, &points);
    EXPECT_EQ(model.rowCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(model.data(model.index(i, 0)).toString().contains(QStringLiteral("●")));

    std::vector<std::pair<int, int>> changed; // first and last row of each redraw
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& a, const QModelIndex& b) {
                         changed.emplace_back(a.row(), b.row());
                     });
    model.SetMarkedIndex(2);
    ASSERT_EQ(changed.size(), 1u); // no old mark to clear
    EXPECT_EQ(model.data(model.index(2, 0)).toString(), QStringLiteral("|●00:00.4(    3.0 )"));
    model.SetMarkedIndex(3);
    EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{2, 2}, {2, 2}, {3, 3}}));
    EXPECT_EQ(model.data(model.index(2, 0)).toString(), QStringLiteral("|  00:00.4(    3.0 )"));
    EXPECT_FALSE(model.data(model.index(9, 0)).isValid());
}

TEST(FinalValueDialog, BoxesFollowTheSelectionAndRefuseOutOfRangeValues)
{
    ScopedScriptedMessages messages;
    CMeasRecord r = series(20, [](double t) { return 10.0 + t; });
    r.UsedPoints = 15;
    FinalValueDialog dialog(r);
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.FinalIndex(), 14);
    EXPECT_EQ(dialog.List()->SelectedIndex(), 14);
    EXPECT_EQ(dialog.ElapsedBox()->text(), QStringLiteral("2.8"));
    EXPECT_EQ(dialog.ValueBox()->text(), QStringLiteral("12.8"));

    dialog.List()->SelectIndex(3);
    EXPECT_EQ(dialog.ElapsedBox()->text(), QStringLiteral("0.6"));
    dialog.List()->SelectIndex(-1);
    EXPECT_EQ(dialog.ElapsedBox()->text(), QStringLiteral("0"));
    EXPECT_EQ(dialog.ValueBox()->text(), QStringLiteral("0"));

    // 100000 is refused on "変更" and on OK; the point stays as it was.
    dialog.List()->SelectIndex(3);
    dialog.ValueBox()->setText(QStringLiteral("100000"));
    EXPECT_FALSE(dialog.OnChange());
    EXPECT_FALSE(dialog.OnOK());
    EXPECT_FALSE(dialog.OnSetFinal());
    EXPECT_EQ(messages->texts(),
              QStringList(3, QStringLiteral("0 から 99999.999 までの数字を入力してください。")));
    EXPECT_EQ(dialog.Points()[3], r.Points[3]);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.FinalIndex(), 14);

    // A typed value with more decimals than the list shows (this record's range shows one) is
    // refused: the list would show 7.3 for a stored 7.26. Boxes left as they were filled in
    // are taken whatever their digits.
    messages->clear();
    dialog.ElapsedBox()->setText(QStringLiteral("1.5"));
    dialog.ValueBox()->setText(QStringLiteral("7.26"));
    EXPECT_FALSE(dialog.OnChange());
    EXPECT_EQ(messages->texts(),
              QStringList{QStringLiteral("0 から 99999.999 までの数字を入力してください。\n"
                                         "小数点以下は 1 桁までです。")});
    EXPECT_EQ(dialog.Points()[3], r.Points[3]);

    // A valid change goes into the copy of the points and its line.
    dialog.ValueBox()->setText(QStringLiteral("7.3"));
    EXPECT_TRUE(dialog.OnChange());
    EXPECT_EQ(dialog.Points()[3].elapsed, 1.5);
    EXPECT_EQ(dialog.Points()[3].value, CDataValue(7.3));
    const QAbstractItemModel* model = dialog.List()->model();
    EXPECT_EQ(model->data(model->index(3, 0)).toString(), QStringLiteral("|  00:01.5(    7.3 )"));

    // The selected point becomes the final one and carries the mark.
    EXPECT_TRUE(dialog.OnSetFinal());
    EXPECT_EQ(dialog.FinalIndex(), 3);
    EXPECT_TRUE(model->data(model->index(3, 0)).toString().startsWith(QStringLiteral("|●")));
    EXPECT_FALSE(model->data(model->index(14, 0)).toString().contains(QStringLiteral("●")));
}

TEST(FinalValueDialog, ElapsedCorrectionAsksFirstAndReloadsTheBoxes)
{
    ScopedScriptedMessages messages;
    CMeasRecord r = series(6, [](double) { return 3.0; });
    for (auto& p : r.Points)
        p.elapsed += 30.0;
    FinalValueDialog dialog(r);
    dialog.OnInitDialog();
    dialog.List()->SelectIndex(2);

    messages->pushAnswer(MessageInterface::Answer::No);
    EXPECT_FALSE(dialog.OnCorrectElapsed());
    EXPECT_EQ(dialog.Points(), r.Points);
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].kind, CScriptedMessages::Kind::YesNo);
    EXPECT_TRUE(messages->entries()[0].text.startsWith(
        QStringLiteral("選択データの経過秒を 0 秒とし\r\n以降のデータ経過秒を 0.2 秒毎に")));
    EXPECT_TRUE(messages->entries()[0].text.endsWith(QStringLiteral("\r\nよろしいですか")));

    messages->pushAnswer(MessageInterface::Answer::Yes);
    EXPECT_TRUE(dialog.OnCorrectElapsed());
    EXPECT_EQ(dialog.Points()[0].elapsed, 0.0);
    EXPECT_EQ(dialog.Points()[3].elapsed, 0.2);
    // The box shows the corrected time: "変更" right after keeps the correction.
    EXPECT_EQ(dialog.ElapsedBox()->text(), QStringLiteral("0"));
    EXPECT_TRUE(dialog.OnChange());
    EXPECT_EQ(dialog.Points()[2].elapsed, 0.0);

    // Without a selection nothing is asked.
    dialog.List()->SelectIndex(-1);
    EXPECT_FALSE(dialog.OnCorrectElapsed());
    EXPECT_EQ(messages->entries().size(), 2u);
}

TEST(FinalValueDialog, RunOnASetAppliesOkAndDropsCancel)
{
    ScopedScriptedMessages messages;
    CMeasData set;
    const auto falling = [](double t) { return t < 60 ? 9.0 : 3.0; };
    const auto flat = [](double) { return 2.0; };
    set.AppendRecord(series(400, falling, 5.0));
    set.AppendRecord(series(400, flat, 10.0));
    for (auto& r : set.Records())
        r.RecalcFinalAndTriggers(-1, 10);
    RecalcRatios(set);
    const CMeasData before = set;

    // Choosing a final point, then Cancel: nothing changes.
    whenModal([](FinalValueDialog& d) {
        d.List()->SelectIndex(10);
        d.OnSetFinal();
        d.reject();
    });
    EXPECT_FALSE(guitest::RunFinalValueSelection(nullptr, set, 0, 10));
    EXPECT_EQ(set, before);

    // Final point at 70 s with a corrected value, then OK.
    whenModal([](FinalValueDialog& d) {
        EXPECT_EQ(d.List()->SelectedIndex(), 399);
        d.List()->SelectIndex(350);
        d.ValueBox()->setText(QStringLiteral("1.5"));
        d.OnChange();
        d.OnSetFinal();
        d.OnOK();
    });
    EXPECT_TRUE(guitest::RunFinalValueSelection(nullptr, set, 0, 10));
    const CMeasRecord& r0 = set.RecordAt(0);
    EXPECT_EQ(r0.UsedPoints, 351);
    EXPECT_EQ(r0.LastCurrent, 1.5);
    EXPECT_DOUBLE_EQ(r0.SeikyokuRatio, 3.0 / 1.5);
    EXPECT_DOUBLE_EQ(r0.JyakutenRatio, (5.0 / 1.5) / (10.0 / 2.0));
    EXPECT_EQ(r0.Points.size(), 400u);
    EXPECT_EQ(set.RecordAt(1), before.RecordAt(1));
}

TEST(Grab, FinalValueDialogWithAReceivedRecord)
{
    EmulatorOptions options;
    options.seed = 11;
    options.records = 3;
    options.measureSeconds = 600;
    // The third record is one of the three-decimal range.
    CMeasRecord record = TesterEmulator(options).expected()[2];
    ASSERT_EQ(record.RangeFlag, 0);
    record.UsedPoints = 300; // the final point at one minute, where the current still falls
    FinalValueDialog dialog(record);
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.List()->SelectedIndex(), record.UsedPoints - 1);
    EXPECT_TRUE(guitest::grabToPng(&dialog, guitest::grabDir() + "/finalvalue.png"));
}
