// The customer tree page changes its tree only through the tree commands: every action that
// changes the tree, also those decided in a dialog, reaches the model's observer once, and an
// action that changes nothing reaches it not at all.
#include <gtest/gtest.h>
#include "support/whenmodal.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

#include <functional>

#include "commands/treecommands.h"
#include "model/cp932text.h"
#include "settings/appsettings.h"
#include "support/scriptedmessages.h"
#include "ui/dialogs/finalvaluedialog.h"
#include "ui/dialogs/finalvaluelist.h"
#include "ui/dialogs/judgmentparametersdialog.h"
#include "ui/dialogs/judgmentdisplaydialog.h"
#include "ui/pages/customertreepage.h"
#include "widgets/reportlist.h"

using cp932::lit;
using namespace customertree;

namespace {

CMeasRecord measured(double kV, int minute = 0)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.TriggerLevel = 5.0;
    r.StartTime = *OleDateTime::fromCalendar({2024, 5, 12, 9, minute, 0});
    for (int i = 0; i <= 100; ++i)
        r.Points.push_back(CMeasPoint{CDataValue(kV * 0.05 * (1.5 - i / 200.0)), 0.2 * i});
    r.RecalcFinalAndTriggers(-1, 10);
    return r;
}

CCustomerDB sampleTree()
{
    CCustomerDB db;
    CCustomer& c = db.customers.At(db.customers.FindOrInsert("A"));
    CCable& k = c.cables.At(c.cables.FindOrInsert("K"));
    CMeasData& s = k.sets.At(k.sets.FindOrInsert("S"));
    s.InsertRecord(measured(10));
    s.InsertRecord(measured(20));
    RecalcRatios(s);
    return db;
}

struct Recorder : cmd::ChangeObserver {
    std::vector<cmd::Kind> kinds;
    void TreeChanged(const CCustomerDB&, const cmd::Change& change) override
    {
        kinds.push_back(change.kind);
    }
};

// Page actions may leave their dialog open on purpose: it is closed without a failure.
template <class T> void whenModal(std::function<void(T&)> during)
{
    guitest::whenModal<T>(std::move(during), nullptr, true);
}

} // namespace

TEST(PageCommands, EveryPageActionThatChangesTheTreeIsOneCommand)
{
    ScopedScriptedMessages messages;
    CAppSettings settings;
    CCustomerDB db = sampleTree();
    CustomerTreePage page(PageMode::Transfer, db, settings);
    page.SetSelection({"A", "K", "S", 0});
    Recorder seen;
    page.Model().SetObserver(&seen);
    const auto step = [&](const char* what, std::function<void()> act,
                          std::vector<cmd::Kind> expected) {
        SCOPED_TRACE(what);
        seen.kinds.clear();
        const CCustomerDB before = db;
        act();
        EXPECT_EQ(seen.kinds, expected);
        EXPECT_EQ(db != before, !expected.empty()) << "a change without a command, or none";
    };

    step("final value chosen",
         [&] {
             whenModal<FinalValueDialog>([](FinalValueDialog& d) {
                 d.List()->SelectIndex(40);
                 ASSERT_TRUE(d.OnSetFinal());
                 ASSERT_TRUE(d.OnOK());
             });
             page.OnMeasEditQuery(0, MeasFinalColumn);
         },
         {cmd::Kind::ChooseFinalValue});
    step("final value dialog cancelled",
         [&] {
             whenModal<FinalValueDialog>([](FinalValueDialog& d) { d.reject(); });
             page.OnMeasEditQuery(0, MeasFinalColumn);
         },
         {});
    step("display switches of a measurement",
         [&] {
             whenModal<JudgmentDisplayDialog>([](JudgmentDisplayDialog& d) {
                 d.SetFlags(0, 1);
                 d.accept();
             });
             page.OnMeasEditQuery(1, MeasSeikyokuColumn);
         },
         {cmd::Kind::SetMeasurementDisplay});
    step("criteria, applied to past data, then OK",
         [&] {
             messages->pushAnswer(MessageInterface::Answer::Yes);
             whenModal<JudgmentParametersDialog>([](JudgmentParametersDialog& d) {
                 d.JyakutenCheck()->setChecked(false);
                 ASSERT_TRUE(d.OnApplyToPast());
                 d.BoundEdit(JudgmentParametersDialog::SeikyokuMin)->setText("0.7");
                 ASSERT_TRUE(d.OnOK());
             });
             page.OnConditionButton(13);
         },
         {cmd::Kind::ApplyDisplayToRecords, cmd::Kind::SetCriteria});
    step("condition row", [&] { page.OnConditionEdited(8, QStringLiteral("memo")); },
         {cmd::Kind::EditCondition});
    step("registration",
         [&] {
             ReceivedRecord r;
             static_cast<CMeasRecord&>(r) = measured(15, 5);
             page.SetReceived({r});
             page.TransferList()->SetChecked(0, true);
             messages->pushAnswer(MessageInterface::Answer::No);
             ASSERT_TRUE(page.RegisterChecked());
         },
         {cmd::Kind::RegisterReceived});
    step("measurement deleted",
         [&] {
             messages->pushAnswer(MessageInterface::Answer::Yes);
             page.OnDeleteMeas();
         },
         {cmd::Kind::RemoveMeasurement});
    step("deletion declined",
         [&] {
             messages->pushAnswer(MessageInterface::Answer::No);
             page.OnDelete(LevelMeasData);
         },
         {});
}
