// CsvExportDialog: initialisation from the settings, the output steps with their questions and
// refusals, failures shown and logged, opening the written file, the choosers, and the main
// window's command.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "../exchange/csvfixture.h"
#include "settings/appsettings.h"
#include "fixtures.h"
#include "link/cxlogfile.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/frame/commandids.h"
#include "ui/dialogs/csvexportdialog.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/reportview.h"

using Answer = MessageInterface::Answer;
using Kind = CScriptedMessages::Kind;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray golden()
{
    return readAll(QString(MXR_TEST_DATA_DIR) + "/exchange/sample.csv");
}

class CsvExportDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings.TextOutDir = dir.path().toStdString();
        settings.TextOutFile = "last.CSV";
        settings.ChkExe = 1;
        settings.RunningExe = "/usr/bin/viewer";
        dialog = std::make_unique<CsvExportDialog>(csvtest::sampleNames(), csvtest::sampleRecord());
        dialog->SetSettings(&settings);
        CsvExportDialog::Launcher launcher;
        launcher.startDetached = [this](const QString& program, const QStringList& arguments) {
            started << (QStringList{program} + arguments);
            return false; // a failed start shows nothing
        };
        launcher.openUrl = [this](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        };
        dialog->SetLauncher(launcher);
        dialog->OnInitDialog();
    }
    QString target() const { return dir.filePath("DAT_20051211_090507.CSV"); }

    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    CAppSettings settings;
    std::unique_ptr<CsvExportDialog> dialog;
    QList<QStringList> started;
    QStringList opened;
};

} // namespace

TEST_F(CsvExportDialogTest, StartsFromTheSettingsAndProposesANameFromTheTestDate)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("テキスト出力（ＣＳＶ形式）"));
    EXPECT_EQ(dialog->FolderEdit()->text(), dir.path());
    EXPECT_EQ(dialog->FileEdit()->text(), "DAT_20051211_090507.CSV"); // not the last name
    EXPECT_TRUE(dialog->OpenAfterCheck()->isChecked());
    EXPECT_EQ(dialog->ProgramEdit()->text(), "/usr/bin/viewer");
    EXPECT_EQ(dialog->FolderEdit()->maxLength(), 256);
    EXPECT_TRUE(dialog->ProgramGroup()->isEnabled());

    dialog->OpenAfterCheck()->setChecked(false);
    EXPECT_FALSE(dialog->ProgramEdit()->isEnabled());
    EXPECT_FALSE(dialog->ProgramBrowseButton()->isEnabled());
    dialog->OpenAfterCheck()->setChecked(true);
    EXPECT_TRUE(dialog->ProgramBrowseButton()->isEnabled());
    EXPECT_TRUE(guitest::grabToPng(dialog.get(), guitest::grabDir() + "/csvout.png"));
}

TEST_F(CsvExportDialogTest, OutputWritesOpensWithTheProgramAndStoresTheSettings)
{
    dialog->FolderEdit()->setText("  " + dir.path() + " ");
    dialog->ProgramEdit()->setText(" viewer --new-window ");
    ASSERT_TRUE(dialog->OnOutput());

    EXPECT_EQ(readAll(target()), golden());
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].kind, Kind::Notice);
    EXPECT_EQ(messages->texts()[0],
              QStringLiteral("テキストファイルへ正常に出力しました\n") + target());
    EXPECT_EQ(started, (QList<QStringList>{{"viewer", "--new-window", target()}}));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(settings.TextOutDir, dir.path().toStdString());
    EXPECT_EQ(settings.TextOutFile, "DAT_20051211_090507.CSV");
    EXPECT_EQ(settings.ChkExe, 1);
    EXPECT_EQ(settings.RunningExe, "viewer --new-window");
    EXPECT_EQ(settings.TextOutEncoding, "cp932");
}

TEST_F(CsvExportDialogTest, Utf8ChoiceWritesTheSameTextAndIsRememberedForTheNextOutput)
{
    EXPECT_EQ(dialog->EncodingCombo()->currentText(), "Shift-JIS");
    dialog->EncodingCombo()->setCurrentIndex(
        dialog->EncodingCombo()->findText(QStringLiteral("UTF-8 (BOM付き)")));
    ASSERT_TRUE(dialog->OnOutput());
    const QByteArray written = readAll(target());
    ASSERT_TRUE(written.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(written.mid(3)),
              QString::fromStdString(cp932::toUtf8(golden().toStdString())));
    EXPECT_EQ(settings.TextOutEncoding, "utf8bom");

    CsvExportDialog next(csvtest::sampleNames(), csvtest::sampleRecord());
    next.SetSettings(&settings);
    next.OnInitDialog();
    EXPECT_EQ(next.EncodingCombo()->currentText(), QStringLiteral("UTF-8 (BOM付き)"));
    settings.TextOutEncoding = "latin1"; // not ours: the default again
    CsvExportDialog unknown(csvtest::sampleNames(), csvtest::sampleRecord());
    unknown.SetSettings(&settings);
    unknown.OnInitDialog();
    EXPECT_EQ(unknown.EncodingCombo()->currentText(), "Shift-JIS");
}

TEST_F(CsvExportDialogTest, AnEmptyProgramOpensTheAssociatedOneAndNoFlagOpensNothing)
{
    dialog->ProgramEdit()->setText("   ");
    ASSERT_TRUE(dialog->OnOutput());
    EXPECT_EQ(opened, QStringList{target()});
    EXPECT_TRUE(started.isEmpty());

    opened.clear();
    dialog->OpenAfterCheck()->setChecked(false);
    messages->pushAnswer(Answer::Yes); // overwrite
    ASSERT_TRUE(dialog->OnOutput());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(settings.ChkExe, 0);
}

TEST_F(CsvExportDialogTest, RefusalsKeepTheDialogOpenAndTheSettingsUnchanged)
{
    const QString missing = dir.filePath("new/deeper");
    QFile(target()).open(QIODevice::WriteOnly);
    struct Case {
        QString folder, file;
        std::vector<Answer> answers;
        Kind kind;
        QString text;
    };
    const Case cases[] = {
        {dir.path(), "  ", {}, Kind::Error, "出力ファイル名を指定してください"},
        {" ", "a.CSV", {}, Kind::Error, "出力先を指定してください"},
        {missing,
         "a.CSV",
         {Answer::No},
         Kind::YesNo,
         "指定のフォルダは存在していません\n作成しますか？\n" + missing},
        {dir.path(),
         "DAT_20051211_090507.CSV",
         {Answer::No},
         Kind::YesNo,
         "指定のファイルは既に存在しています\n上書きしますか？\n" + target()},
        {dir.path(),
         QString::fromUtf8("😀.CSV"),
         {},
         Kind::Error,
         QString::fromUtf8("保存できない文字が含まれています\n😀.CSV")},
    };
    for (const Case& c : cases) {
        messages->clear();
        for (Answer a : c.answers)
            messages->pushAnswer(a);
        dialog->FolderEdit()->setText(c.folder);
        dialog->FileEdit()->setText(c.file);
        EXPECT_FALSE(dialog->OnOutput()) << c.text.toStdString();
        ASSERT_EQ(messages->entries().size(), 1u) << c.text.toStdString();
        EXPECT_EQ(messages->entries()[0].kind, c.kind);
        EXPECT_EQ(messages->texts()[0], c.text);
    }
    EXPECT_FALSE(QDir(missing).exists());
    EXPECT_EQ(QFile(target()).size(), 0);
    EXPECT_EQ(settings.TextOutFile, "last.CSV");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_TRUE(started.isEmpty());
}

TEST_F(CsvExportDialogTest, AMissingFolderIsCreatedOnYes)
{
    const QString missing = dir.filePath("new/deeper");
    messages->pushAnswer(Answer::Yes);
    dialog->FolderEdit()->setText(missing);
    dialog->OpenAfterCheck()->setChecked(false);
    ASSERT_TRUE(dialog->OnOutput());
    EXPECT_EQ(readAll(missing + "/DAT_20051211_090507.CSV"), golden());
}

TEST_F(CsvExportDialogTest, AnOpenErrorIsShownAndLoggedAndTheDialogStays)
{
    CxLogFile log;
    log.Setup(dir.filePath("APP").toStdString(), 7, 4, 1000, 0x500000);
    dialog->SetAppLog(&log);
    ASSERT_TRUE(QDir(dir.path()).mkdir("held.CSV")); // a folder where the file should go
    dialog->FileEdit()->setText("held.CSV");
    messages->pushAnswer(Answer::Yes); // overwrite
    EXPECT_FALSE(dialog->OnOutput());

    const QString expected = "OpenError\n" + dir.filePath("held.CSV");
    ASSERT_EQ(messages->entries().size(), 2u);
    EXPECT_EQ(messages->entries()[1].kind, Kind::Information);
    EXPECT_EQ(messages->texts()[1], expected);
    // The log stores the line feed inside the text as CR LF, like every line end.
    const QByteArray logged =
        readAll(QString::fromStdString(log.FilePathAt(std::time(nullptr)))).replace("\r\n", "\n");
    EXPECT_TRUE(logged.contains(expected.toUtf8())) << logged.toStdString();
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(settings.TextOutFile, "last.CSV");
}

TEST_F(CsvExportDialogTest, BrowseButtonsUseTheChoosersAndKeepTextsOnCancel)
{
    messages->pushPath("/srv/csv");
    messages->pushPath("");
    messages->pushPath("/opt/calc/bin/calc");
    dialog->FolderBrowseButton()->click();
    dialog->FolderBrowseButton()->click();
    dialog->ProgramBrowseButton()->click();
    EXPECT_EQ(dialog->FolderEdit()->text(), "/srv/csv");
    EXPECT_EQ(dialog->ProgramEdit()->text(), "/opt/calc/bin/calc");
    EXPECT_EQ(messages->texts(), (QStringList{"フォルダ選択をしてください",
                                              "フォルダ選択をしてください", "起動プログラム"}));
}

TEST(CsvOutCommand, TheMainWindowWritesTheShownRecordWithItsNames)
{
    QTemporaryDir dir;
    ScopedScriptedMessages messages;
    CAppSettings settings;
    settings.TextOutDir = dir.path().toStdString();
    settings.ChkExe = 0;
    settings.TitleMeasurement = cp932::lit("試験"); // a configured level title

    MeasurementDocument doc;
    doc.SetDataFilePath(dir.filePath("DATA/MXR.DAT").toStdString());
    MainWindow frame(&doc);
    frame.SetSettings(&settings);
    doc.OnNewDocument();
    doc.Store() = storeWith({csvtest::sampleRecord()});
    doc.Selection() = {cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春"), 0};
    doc.LoadSelectedMeasurement();
    ASSERT_TRUE(frame.Action(commandid::TextOut)->isEnabled());

    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CsvExportDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        driven = true;
        if (!dialog->OnOutput())
            dialog->reject();
    });
    frame.Action(commandid::TextOut)->trigger();

    ASSERT_TRUE(driven);
    EXPECT_EQ(settings.TextOutFile, "DAT_20051211_090507.CSV");
    const QByteArray csv = readAll(dir.filePath("DAT_20051211_090507.CSV"));
    const auto expected =
        CsvContent({cp932::lit("顧客Ａ"), "CV-1", cp932::lit("2024春")}, csvtest::sampleRecord(),
                   CsvLabelsFor("", "", cp932::lit("試験")));
    EXPECT_EQ(csv.toStdString(), expected);
}
