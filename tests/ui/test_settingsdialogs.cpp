// The environment settings dialog (margin ranges, the spin arrows, taking the values into the
// settings), the judgment criteria dialog (range checks before order checks, the apply-to-
// past-data button) with its entry for a measurement data set, the judgment display dialog,
// and the strict number reading of the dialog fields.
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "settings/appsettings.h"
#include "fixtures.h"
#include "model/safefile.h"
#include "support/scriptedmessages.h"
#include "support/directsetedits.h"
#include "support/widgetgrab.h"
#include "ui/frame/commandids.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "ui/common/entryrules.h"
#include "ui/dialogs/judgmentparametersdialog.h"
#include "ui/dialogs/settingsdialog.h"
#include "ui/dialogs/judgmentdisplaydialog.h"

namespace {

using Answer = MessageInterface::Answer;

// Runs `drive` on the first visible top-level widget of type D as soon as a modal loop runs.
template <class D> void whenOpen(std::function<void(D&)> drive)
{
    QTimer::singleShot(0, [drive] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<D*>(w); d && d->isVisible()) {
                drive(*d);
                return;
            }
        ADD_FAILURE() << "no dialog open";
    });
}

// Two steps of a set: currents falling over two minutes, so both have ratios.
CMeasData twoStepSet()
{
    CMeasData set;
    CMeasRecord a = recordWithPoints({{0, 5.0}, {60, 2.0}, {120, 1.0}});
    a.TestVoltage = 1.0;
    a.Condition.Weather = "fine";
    CMeasRecord b = recordWithPoints({{0, 6.0}, {60, 3.0}, {120, 1.5}});
    b.TestVoltage = 2.0;
    b.Condition.Weather = "rain";
    b.Condition.SeikyokuMin = 0.2;
    set.AppendRecord(a);
    set.AppendRecord(b);
    return set;
}

void setBounds(JudgmentParametersDialog& d, const QStringList& six)
{
    for (int b = 0; b < 6; ++b)
        d.BoundEdit(static_cast<JudgmentParametersDialog::Bound>(b))->setText(six[b]);
}

const QString kBadSeikyoku = QStringLiteral("成極比の入力範囲に誤りがあります");
const QString kBadJyakuten = QStringLiteral("弱点比の入力範囲に誤りがあります");
const QString kBadLastCurrent = QStringLiteral("最終値の入力範囲に誤りがあります");
const QString kRange99 = QStringLiteral("0 から 9.9 までの数字を入力してください。");
const QString kRange999 = QStringLiteral("0 から 99.9 までの数字を入力してください。");

} // namespace

TEST(DialogNumbers, FieldsTakeOneWholeNumberWithSpaceAroundIt)
{
    struct Case {
        const char* text;
        std::optional<double> decimal;
        std::optional<int> integer;
    } cases[] = {
        {"5", 5.0, 5},
        {" 7 ", 7.0, 7},
        {"+3", 3.0, 3},
        {"-1", -1.0, -1},
        {"0.55", 0.55, {}},
        {".5", 0.5, {}},
        {"1e1", 10.0, {}},
        {"", {}, {}},
        {"  ", {}, {}},
        {"abc", {}, {}},
        {"5mm", {}, {}},
        {"1,5", {}, {}},
        {"--1", {}, {}},
        {"inf", {}, {}},
        {"nan", {}, {}},
        {"0x10", {}, {}},
        {"99999999999", 99999999999.0, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(entry::parseDecimal(c.text), c.decimal) << c.text;
        EXPECT_EQ(entry::parseInteger(c.text), c.integer) << c.text;
    }
    EXPECT_FALSE(std::signbit(*entry::parseDecimal("-0")));
    EXPECT_EQ(entry::decimalFieldText(0.5), "0.5");
    EXPECT_EQ(entry::decimalFieldText(10.0), "10.0");
    EXPECT_EQ(entry::decimalFieldText(0.55), "0.55");
    EXPECT_EQ(entry::decimalFieldText(0.1 + 0.2), "0.3");
    EXPECT_EQ(entry::decimalFieldText(99.9), "99.9");
}

TEST(SetPrintBlank, MarginsFromZeroToHundredAreTakenOthersRefusedInOrder)
{
    ScopedScriptedMessages messages;
    const QString rangeText = QStringLiteral("0 から 100 までの整数を入力してください。");
    struct Case {
        QStringList margins; // top, left, bottom, right
        bool accepted;
    } cases[] = {
        {{"0", "100", "5", " 12 "}, true},
        {{"101", "5", "5", "5"}, false},
        {{"5", "-1", "5", "5"}, false},
        {{"5", "5", "2.5", "5"}, false},
        {{"5", "5", "5", ""}, false},
        {{"x", "y", "5", "5"}, false}, // one message, for the first field
    };
    for (const Case& c : cases) {
        messages->clear();
        SettingsDialog dlg;
        dlg.SetSettings({1, 2, 3, 4, 0});
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.MarginEdit(SettingsDialog::Bottom)->text(), QStringLiteral("3"));
        for (int side = 0; side < 4; ++side)
            dlg.MarginEdit(static_cast<SettingsDialog::Side>(side))->setText(c.margins[side]);
        dlg.JudgOutCheck()->setChecked(true);
        EXPECT_EQ(dlg.OnOK(), c.accepted) << c.margins.join(',').toStdString();
        if (c.accepted) {
            EXPECT_TRUE(messages->texts().isEmpty());
            EXPECT_EQ(dlg.Settings(), (PrintBlankSettings{0, 100, 5, 12, 1}));
        } else {
            EXPECT_EQ(messages->texts(), QStringList{rangeText});
            EXPECT_EQ(dlg.Settings(), (PrintBlankSettings{1, 2, 3, 4, 0}));
            EXPECT_EQ(dlg.MarginEdit(SettingsDialog::Top)->text(), c.margins[0]); // intact
        }
    }
}

TEST(SetPrintBlank, SpinArrowsStepWithinTheRange)
{
    SettingsDialog dlg;
    dlg.SetSettings({100, 0, 5, 5, 1});
    dlg.OnInitDialog();
    dlg.MarginSpin(SettingsDialog::Top)->stepUp();
    EXPECT_EQ(dlg.MarginEdit(SettingsDialog::Top)->text(), QStringLiteral("100"));
    dlg.MarginSpin(SettingsDialog::Left)->stepDown();
    EXPECT_EQ(dlg.MarginEdit(SettingsDialog::Left)->text(), QStringLiteral("0"));
    dlg.MarginSpin(SettingsDialog::Bottom)->stepBy(3);
    EXPECT_EQ(dlg.MarginEdit(SettingsDialog::Bottom)->text(), QStringLiteral("8"));
    dlg.MarginEdit(SettingsDialog::Right)->setText(QStringLiteral("250"));
    dlg.MarginSpin(SettingsDialog::Right)->stepDown();
    EXPECT_EQ(dlg.MarginEdit(SettingsDialog::Right)->text(), QStringLiteral("99"));
}

TEST(SetPrintBlank, TheCommandTakesTheValuesIntoTheSettingsOnlyOnOk)
{
    ScopedScriptedMessages messages;
    QTemporaryDir dir; // OK writes the settings file at once
    CAppSettings settings;
    settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
    settings.PrtBlankTop = 7;
    whenOpen<SettingsDialog>([](SettingsDialog& d) {
        EXPECT_EQ(d.MarginEdit(SettingsDialog::Top)->text(), QStringLiteral("7"));
        d.MarginEdit(SettingsDialog::Right)->setText(QStringLiteral("20"));
        d.JudgOutCheck()->setChecked(false);
        d.reject();
    });
    EXPECT_FALSE(RunEnvSettings(nullptr, settings));
    EXPECT_EQ(PrintBlankSettings::From(settings), (PrintBlankSettings{7, 5, 5, 5, 1}));

    whenOpen<SettingsDialog>([](SettingsDialog& d) {
        d.MarginEdit(SettingsDialog::Right)->setText(QStringLiteral("101"));
        EXPECT_FALSE(d.OnOK()); // stays open
        d.MarginEdit(SettingsDialog::Right)->setText(QStringLiteral("20"));
        d.JudgOutCheck()->setChecked(false);
        EXPECT_TRUE(d.OnOK());
    });
    EXPECT_TRUE(RunEnvSettings(nullptr, settings));
    EXPECT_EQ(PrintBlankSettings::From(settings), (PrintBlankSettings{7, 5, 5, 20, 0}));
    EXPECT_EQ(messages->texts().size(), 1);
}

TEST(SetPrintBlank, AFailedWriteOfTheSettingsIsShownAndTheValuesKept)
{
    ScopedScriptedMessages messages;
    QTemporaryDir dir;
    CAppSettings settings;
    settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
    settings.LoadSettings();
    whenOpen<SettingsDialog>([](SettingsDialog& d) {
        d.MarginEdit(SettingsDialog::Top)->setText(QStringLiteral("12"));
        EXPECT_TRUE(d.OnOK());
    });
    safefile::SetInjectedWriteError(ENOSPC); // as a full disk fails the write
    EXPECT_TRUE(RunEnvSettings(nullptr, settings));
    safefile::SetInjectedWriteError(0);
    EXPECT_EQ(settings.PrtBlankTop, 12); // kept for the run and the save at exit
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].kind, CScriptedMessages::Kind::Error);
    EXPECT_EQ(messages->texts()[0], QStringLiteral("設定ファイルを保存できませんでした\n") +
                                        QString::fromStdString(settings.IniPath()));
}

TEST(SetPrintBlank, TheMainWindowsCommandEditsTheFramesSettings)
{
    ScopedScriptedMessages messages;
    QTemporaryDir dir;
    CAppSettings settings;
    settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
    MeasurementDocument doc;
    doc.SetDataFilePath(dir.filePath("DATA/MXR.DAT").toStdString());
    MainWindow frame(&doc);
    frame.SetSettings(&settings);
    ASSERT_TRUE(frame.Action(commandid::EnvSettings)->isEnabled());
    whenOpen<SettingsDialog>([](SettingsDialog& d) {
        d.MarginEdit(SettingsDialog::Left)->setText(QStringLiteral("33"));
        EXPECT_TRUE(d.OnOK());
    });
    frame.Action(commandid::EnvSettings)->trigger();
    EXPECT_EQ(settings.PrtBlankLeft, 33);
}

TEST(SetJudgParam, RangesAreCheckedBeforeTheOrderOfEachPair)
{
    ScopedScriptedMessages messages;
    struct Case {
        QStringList bounds; // SeikyokuMin, SeikyokuMax, JyakutenMin, JyakutenMax, LastMin, LastMax
        QString message;    // empty: accepted
    } cases[] = {
        {{"0.5", "1.0", "1.0", "5.0", "1.0", "10.0"}, {}},
        {{"0", "9.9", "0", "9.9", "0", "99.9"}, {}},
        {{"1.0", "1.0", "1.0", "5.0", "1.0", "10.0"}, kBadSeikyoku}, // equal bounds
        {{"2", "1", "6", "5", "1.0", "10.0"}, kBadSeikyoku},         // only the first is told
        {{"0.5", "1.0", "5", "1", "1.0", "10.0"}, kBadJyakuten},
        {{"0.5", "1.0", "1", "5", "10", "10"}, kBadLastCurrent},
        {{"0.5", "10", "5", "1", "1.0", "10.0"}, kRange99}, // range before order
        {{"0.5", "1.0", "1.0", "5.0", "1.0", "100"}, kRange999},
        {{"0.5", "1.0", "-0.1", "5.0", "1.0", "10.0"}, kRange99},
        {{"0.5", "1.0", "1.0", "abc", "1.0", "10.0"}, kRange99},
    };
    for (const Case& c : cases) {
        messages->clear();
        JudgmentParametersDialog dlg;
        dlg.OnInitDialog();
        setBounds(dlg, c.bounds);
        const bool accepted = dlg.OnOK();
        EXPECT_EQ(accepted, c.message.isEmpty()) << c.bounds.join(',').toStdString();
        if (accepted) {
            EXPECT_TRUE(messages->texts().isEmpty());
            EXPECT_EQ(dlg.Params().LastCurrentMax, c.bounds[5].toDouble());
        } else {
            EXPECT_EQ(messages->texts(), QStringList{c.message});
            EXPECT_EQ(messages->entries()[0].kind, CScriptedMessages::Kind::Error);
            EXPECT_EQ(dlg.Params(), JudgParams{}); // nothing taken
            EXPECT_EQ(dlg.BoundEdit(JudgmentParametersDialog::SeikyokuMax)->text(), c.bounds[1]);
        }
    }
}

TEST(SetJudgParam, OkOnASetWritesTheLimitsIntoEveryRecordAndTheFlagsIntoTheSet)
{
    ScopedScriptedMessages messages;
    CAppSettings settings;
    CMeasData set = twoStepSet();
    ASSERT_EQ(set.RecordAt(0).SeikyokuRatio, UNSET_VALUE); // not computed yet
    whenOpen<JudgmentParametersDialog>([&messages](JudgmentParametersDialog& d) {
        EXPECT_EQ(d.BoundEdit(JudgmentParametersDialog::SeikyokuMin)->text(), QStringLiteral("0.5"));
        EXPECT_EQ(d.BoundEdit(JudgmentParametersDialog::LastCurrentMax)->text(), QStringLiteral("10.0"));
        EXPECT_TRUE(d.SeikyokuCheck()->isChecked());
        // The criterion texts show 成極比 with one decimal: 0.55 would be judged by a bound
        // that reads "0.6" everywhere, so it is refused.
        d.BoundEdit(JudgmentParametersDialog::SeikyokuMin)->setText(QStringLiteral("0.55"));
        EXPECT_FALSE(d.OnOK());
        EXPECT_EQ(messages->texts(),
                  QStringList{QStringLiteral("0 から 9.9 までの数字を入力してください。\n"
                                             "小数点以下は 1 桁までです。")});
        d.BoundEdit(JudgmentParametersDialog::SeikyokuMin)->setText(QStringLiteral("0.6"));
        d.BoundEdit(JudgmentParametersDialog::LastCurrentMax)->setText(QStringLiteral("20.26"));
        d.JyakutenCheck()->setChecked(false);
        EXPECT_TRUE(d.OnOK());
    });
    const JudgParamOutcome out = guitest::EditJudgParam(nullptr, set, settings);
    EXPECT_TRUE(out.accepted);
    EXPECT_TRUE(out.change.limits && out.change.setFlags && !out.change.recordFlags);
    for (const CMeasRecord& r : set.Records()) {
        EXPECT_EQ(r.Condition.SeikyokuMin, 0.6);
        // The final value criterion shows three decimals: all of 20.26 is kept.
        EXPECT_EQ(r.Condition.LastCurrentMax, 20.26);
        EXPECT_EQ(r.Condition.JyakutenMax, 5.0);
        EXPECT_EQ(r.Condition.Weather, "fine"); // the first record's block, copied whole
        EXPECT_EQ(r.ShowJyakuten, 1);           // records keep their own switches
    }
    EXPECT_EQ(set.ShowSeikyoku, 1);
    EXPECT_EQ(set.ShowJyakuten, 0);
    EXPECT_DOUBLE_EQ(set.RecordAt(0).SeikyokuRatio, 2.0);  // RecalcRatios ran
    EXPECT_DOUBLE_EQ(set.RecordAt(0).JyakutenRatio, 0.75); // (1 / 1) / (2 / 1.5)
    // The default criteria of new data, in their settings form.
    EXPECT_EQ(settings.DefCnd.SeikyokuMin, "0.6");
    EXPECT_EQ(settings.DefCnd.LastCurrentMax, "20.3");
    EXPECT_EQ(settings.DefCnd.JyakutenMin, "1.0");

    // Cancel changes nothing.
    const CMeasData before = set;
    whenOpen<JudgmentParametersDialog>([](JudgmentParametersDialog& d) {
        d.BoundEdit(JudgmentParametersDialog::SeikyokuMin)->setText(QStringLiteral("0.1"));
        d.reject();
    });
    EXPECT_FALSE(guitest::EditJudgParam(nullptr, set, settings).accepted);
    EXPECT_EQ(set, before);
}

TEST(SetJudgParam, UntouchedFieldsKeepTheirExactValues)
{
    CMeasData set = twoStepSet();
    set.RecordAt(0).Condition.JyakutenMin = 0.1 + 0.2; // shown as "0.3"
    JudgmentParametersDialog dlg;
    dlg.SetParams(JudgParamsOf(set));
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.BoundEdit(JudgmentParametersDialog::JyakutenMin)->text(), QStringLiteral("0.3"));
    ASSERT_TRUE(dlg.OnOK());
    EXPECT_EQ(dlg.Params(), JudgParamsOf(set));
}

TEST(SetJudgParam, ApplyingToPastDataChangesOnlyTheRecordSwitchesAndSurvivesCancel)
{
    ScopedScriptedMessages messages;
    CAppSettings settings;
    CMeasData set = twoStepSet();
    const CTestCondition conditionBefore = set.RecordAt(1).Condition;
    messages->pushAnswer(Answer::No);
    messages->pushAnswer(Answer::Yes);
    whenOpen<JudgmentParametersDialog>([](JudgmentParametersDialog& d) {
        d.BoundEdit(JudgmentParametersDialog::SeikyokuMin)->setText(QStringLiteral("0.9"));
        d.SeikyokuCheck()->setChecked(false);
        EXPECT_FALSE(d.OnApplyToPast()); // answered No
        d.ApplyToPastButton()->click();  // answered Yes
        d.BoundEdit(JudgmentParametersDialog::JyakutenMin)->setText(QStringLiteral("10"));
        EXPECT_FALSE(d.OnApplyToPast()); // out of range: no question at all
        d.reject();
    });
    const JudgParamOutcome out = guitest::EditJudgParam(nullptr, set, settings);
    EXPECT_FALSE(out.accepted);
    EXPECT_TRUE(out.change.recordFlags);
    EXPECT_FALSE(out.change.limits || out.change.setFlags);
    const QString question = QStringLiteral(
        "過去データに適応します\r\n適応後「キャンセル」しても元には戻せません\r\nよろしいですか");
    EXPECT_EQ(messages->texts(), (QStringList{question, question, kRange99}));
    for (const CMeasRecord& r : set.Records()) {
        EXPECT_EQ(r.ShowSeikyoku, 0);
        EXPECT_EQ(r.ShowJyakuten, 1);
    }
    EXPECT_EQ(set.ShowSeikyoku, 1); // the set's own flag waits for OK
    EXPECT_EQ(set.RecordAt(1).Condition, conditionBefore);
    EXPECT_EQ(set.RecordAt(0).Condition.SeikyokuMin, 0.5);
}

TEST(SetJudgParam, AnEmptySetTakesOnlyTheFlags)
{
    CMeasData set;
    JudgParams p = JudgParamsOf(set);
    EXPECT_EQ(p, JudgParams{});
    p.SeikyokuMax = 2.0;
    p.ShowSeikyoku = 0;
    const JudgParamChange change = ApplyJudgParams(set, p);
    EXPECT_FALSE(change.limits);
    EXPECT_TRUE(change.setFlags);
    EXPECT_EQ(set.ShowSeikyoku, 0);
    EXPECT_EQ(set.RecordCount(), 0u);
}

TEST(SettHanteiDisp, AnyCombinationOfTheTwoSwitchesIsReturned)
{
    for (int s = 0; s < 2; ++s)
        for (int j = 0; j < 2; ++j) {
            JudgmentDisplayDialog dlg;
            dlg.SetFlags(1 - s, 1 - j);
            dlg.OnInitDialog();
            EXPECT_EQ(dlg.SeikyokuCheck()->isChecked(), s == 0);
            dlg.SeikyokuCheck()->setChecked(s == 1);
            dlg.JyakutenCheck()->setChecked(j == 1);
            dlg.OnOK();
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_EQ(dlg.ShowSeikyoku(), s);
            EXPECT_EQ(dlg.ShowJyakuten(), j);
        }
}

// Pictures to look at, not a check.
TEST(Grab, SettingsDialogs)
{
    const QString out = guitest::grabDir();
    SettingsDialog env;
    env.OnInitDialog();
    EXPECT_TRUE(guitest::grabToPng(&env, out + "/setprintblank.png"));
    JudgmentParametersDialog judg;
    judg.OnInitDialog();
    EXPECT_TRUE(guitest::grabToPng(&judg, out + "/setjudgparam.png"));
    JudgmentDisplayDialog disp;
    disp.OnInitDialog();
    EXPECT_TRUE(guitest::grabToPng(&disp, out + "/setthanteidisp.png"));
}
