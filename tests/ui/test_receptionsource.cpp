// The judgment-basis panel's 受信元 and its 検証 window: records received over a real pty,
// registered into a set and linked in the workspace beside the store; the panel names the
// archive and lines of the shown record and its state, and 検証 lists the set's records.
#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "../link/linktestutil.h"
#include "analysisfixture.h"
#include "commands/treecommands.h"
#include "link/emulator.h"
#include "link/emulatorport.h"
#include "settings/appsettings.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/analysis/analysiscommands.h"
#include "ui/analysis/receptionsource.h"
#include "ui/document/measurementdocument.h"
#include "ui/frame/commandids.h"
#include "ui/frame/mainwindow.h"
#include "ui/pages/customertreepage.h"
#include "store/store.h"
#include "support/whenmodal.h"
#include "widgets/reportlist.h"
#include "widgets/treepropertysheet.h"
#include "workspace/provenance.h"
#include "workspace/workspace.h"

using namespace std::chrono_literals;

namespace {

namespace fx = analysisfixture;

class ReceptionSourceTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings.SetPaths(MakeAppPaths(dir.path().toStdString(), "/usr/bin/MXRView"));
        settings.LoadSettings();
        storePath = dir.filePath("DATA/MXR.DAT").toStdString();
        doc = std::make_unique<MeasurementDocument>();
        doc->SetDataFilePath(storePath);
        frame = std::make_unique<MainWindow>(doc.get());
        frame->SetSettings(&settings);
        doc->OnNewDocument();
        doc->Store() = fx::store();
        frame->resize(1200, 860);

        std::vector<ReceivedRecord> records;
        std::vector<ws::ReceivedLink> links;
        receive(61, 2, records, links);
        set = {fx::customer(), fx::cable, "received"};
        ASSERT_TRUE(cmd::Run(doc->Store(),
                             cmd::AddName{cmd::Level::Set, {set.customer, set.cable}, set.set})
                        .done());
        ASSERT_TRUE(cmd::Run(doc->Store(),
                             cmd::RegisterReceived{
                                 set, {records.begin(), records.end()}, CTestCondition{}, false})
                        .done());
        ws::Workspace w;
        ASSERT_TRUE(w.Open(storePath, true).usable());
        ASSERT_EQ(ws::RecordProvenance(w, storePath, doc->Store(), set, links, 1765440000), 2);
    }
    // A reception of the emulator's dump over a pty, archived beside the store.
    void receive(uint32_t seed, int count, std::vector<ReceivedRecord>& records,
                 std::vector<ws::ReceivedLink>& links)
    {
        const TesterEmulator emu(smallDump(seed, count));
        EmulatorPtySender tester(emu.serialChunks(), 0);
        ASSERT_TRUE(tester.ok()) << tester.error();
        Reception live(tester.path(), ReceptionMode::Serial, {},
                       dir.filePath("DATA/received").toStdString());
        ASSERT_TRUE(live.listener.waitFinished(20s));
        ASSERT_TRUE(live.listener.success());
        records = live.worker.TakeRecords();
        links =
            ws::LinksOf(records, live.worker.RecordSpans(), live.worker.ArchivePath(), 1765440000);
        ASSERT_EQ(links.size(), records.size());
    }
    void select(const std::string& setName, int index)
    {
        doc->Selection() = {set.customer, set.cable, setName, index};
        doc->LoadSelectedMeasurement();
    }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    CAppSettings settings;
    std::string storePath;
    cmd::TreePath set;
    std::unique_ptr<MeasurementDocument> doc;
    std::unique_ptr<MainWindow> frame;
};

} // namespace

TEST_F(ReceptionSourceTest, PanelNamesTheReceptionOfTheShownRecordAndVerifiesItsSet)
{
    select("received", 1);
    frame->Action(commandid::ViewJudgmentBasis)->trigger();
    QString text = frame->Analysis()->PanelText();
    EXPECT_TRUE(text.contains(QStringLiteral("【受信元】"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("受信データ: received/"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("検証: 一致"))) << text.toStdString();
    frame->show();
    EXPECT_TRUE(
        guitest::grabToPng(frame.get(), guitest::grabDir() + "/reception_source_panel.png"));

    // A point changed without the program: 変更あり, and 検証 of the set says which record.
    cmd::FindSet(doc->Store(), set)->RecordAt(0).Points[2].value = CDataValue(77.0);
    VerificationDialog* dialog = frame->Analysis()->ShowVerification();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->Table()->rowCount(), 2);
    EXPECT_EQ(dialog->Table()->item(0, 1)->text(), QStringLiteral("変更あり"));
    EXPECT_TRUE(dialog->Table()->item(0, 3)->text().contains(QStringLiteral("測定点の値")));
    EXPECT_EQ(dialog->Table()->item(1, 1)->text(), QStringLiteral("一致"));
    EXPECT_EQ(dialog->Summary()->text(),
              QStringLiteral("一致 1 件, 変更あり 1 件, 受信記録なし 0 件"));
    EXPECT_TRUE(guitest::grabToPng(dialog, guitest::grabDir() + "/reception_verification.png"));
    dialog->close();

    // A record that never came from a reception.
    select("2024", 0);
    text = frame->Analysis()->PanelText();
    EXPECT_TRUE(text.contains(QStringLiteral("検証: 受信記録なし (受信元の記録がありません)")))
        << text.toStdString();
    frame->Action(commandid::ViewJudgmentBasis)->trigger(); // the panel closed before the window
}

// The transfer sheet: a record registered and kept with OK is saved, journaled and linked.
TEST_F(ReceptionSourceTest, TransferSheetLinksWhatItRegistersOnceSaved)
{
    ASSERT_TRUE(SaveStore(doc->Store(), storePath).ok);
    ASSERT_TRUE(doc->OnNewDocument()); // read from the file, with its journal
    std::vector<ReceivedRecord> records;
    std::vector<ws::ReceivedLink> links;
    receive(62, 2, records, links);
    guitest::whenModal<TreePropertySheet>([&](TreePropertySheet& sheet) {
        auto* page = qobject_cast<CustomerTreePage*>(sheet.CurrentPage());
        ASSERT_NE(page, nullptr);
        page->SetSelection({set.customer, set.cable, set.set, 0});
        page->SetReceived(records, links);
        page->TransferList()->SetChecked(1, true);
        messages->pushAnswer(MessageInterface::Answer::No); // beside the set's records
        ASSERT_TRUE(page->RegisterChecked());
        messages->pushAnswer(MessageInterface::Answer::Yes); // leave record 0 unregistered
        sheet.PressOk();
    });
    ASSERT_TRUE(RunTransferData(nullptr, *doc, settings));
    ws::Workspace w;
    ASSERT_TRUE(w.Open(storePath, false).usable());
    EXPECT_EQ(ws::ProvenanceOf(w.Db(), links[1].contentKey).size(), 1u);
    EXPECT_TRUE(ws::ProvenanceOf(w.Db(), links[0].contentKey).empty()) << "not registered";
    const std::vector<ws::RecordVerdict> v = ws::VerifyRecords(&w, storePath, doc->Store(), set);
    ASSERT_EQ(v.size(), 3u);
    for (const ws::RecordVerdict& r : v)
        EXPECT_EQ(r.state, ws::VerifyState::Match) << r.index << ws::ReasonName(r.reason);
}
