// A store file named on the command line is viewed read-only: its first measurement is shown,
// the title names it, the commands that would change it are off, and neither it nor anything
// in the application folder (store, settings, backups) is written.
#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>
#include <memory>

#include "fixtures.h"
#include "settings/appsettings.h"
#include "store/store.h"
#include "support/docondisk.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/frame/commandids.h"
#include "ui/frame/mainwindow.h"
#include "ui/document/measurementdocument.h"
#include "ui/pages/reportview.h"

namespace {

// Every file under a folder with its bytes and modification time.
std::map<QString, std::pair<std::string, qint64>> snapshot(const QString& folder)
{
    std::map<QString, std::pair<std::string, qint64>> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[path] = {readBytes(path), QFileInfo(path).lastModified().toMSecsSinceEpoch()};
    }
    return files;
}

class ViewFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid() && elsewhere.isValid());
        // The application folder as a normal run leaves it: settings and its own store.
        CAppSettings normal;
        normal.SetPaths(MakeAppPaths(home.path().toStdString(), "/usr/bin/MXRView"));
        normal.LoadSettings();
        CCustomerDB own = storeWith({recordWithPoints({{0.0, 9.0}, {0.2, 9.0}})});
        ASSERT_TRUE(SaveStore(own, home.filePath("DATA/MXR.DAT").toStdString()).ok);

        settings.SetPaths(MakeAppPaths(home.path().toStdString(), "/usr/bin/MXRView"));
        settings.LoadSettings(false);
    }

    // A store with two customers, inserted out of order: the first customer in the store's
    // order ("A-Works") starts its first set with a record of test voltage 3.0 kV.
    QString writeViewedStore()
    {
        CCustomerDB db;
        const std::pair<const char*, std::vector<double>> customers[] = {{"B-Works", {9.0, 12.0}},
                                                                         {"A-Works", {3.0, 6.0}}};
        for (const auto& [name, voltages] : customers) {
            CCustomer& c = db.customers.At(db.customers.FindOrInsert(name));
            CCable& k = c.cables.At(c.cables.FindOrInsert("CV-9"));
            CMeasData& s = k.sets.At(k.sets.FindOrInsert("2023"));
            for (double kv : voltages) {
                CMeasRecord r = recordWithPoints({{0.0, kv}, {0.2, kv}, {0.4, kv}});
                r.TestVoltage = kv;
                s.AppendRecord(r);
            }
        }
        const QString path = elsewhere.filePath("field copy.DAT");
        EXPECT_TRUE(SaveStore(db, path.toStdString()).ok);
        return path;
    }

    QTemporaryDir home;
    QTemporaryDir elsewhere;
    ScopedScriptedMessages messages;
    CAppSettings settings;
};

TEST_F(ViewFileTest, ShowsTheFirstMeasurementReadOnlyAndWritesNothing)
{
    const QString viewed = writeViewedStore();
    const std::string viewedBytes = readBytes(viewed);
    const auto before = snapshot(home.path());

    std::unique_ptr<MainWindow> frame(
        MainWindow::CreateWithDocument(settings, nullptr, viewed.toStdString()));
    frame->show();
    frame->resize(1024, 720);

    MeasurementDocument* doc = frame->Document();
    EXPECT_TRUE(doc->IsViewing());
    EXPECT_TRUE(doc->IsReadOnly());
    EXPECT_EQ(doc->Selection().customer, "A-Works");
    EXPECT_EQ(doc->Selection().cable, "CV-9");
    EXPECT_EQ(doc->Selection().measData, "2023");
    EXPECT_EQ(doc->Selection().index, 0);
    ASSERT_TRUE(frame->ViewGraph()->HasRecord());
    EXPECT_EQ(frame->ViewGraph()->DisplayedRecord()->TestVoltage, 3.0);

    EXPECT_TRUE(frame->windowTitle().contains(QStringLiteral("field copy.DAT")));
    EXPECT_TRUE(frame->windowTitle().contains(QStringLiteral("読み取り専用")));
    const auto* mark = frame->statusBar()->findChild<QLabel*>(QStringLiteral("viewFileMark"));
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->text().contains(viewed));

    for (int id : {commandid::EditCustomer, commandid::TransferData, commandid::ImportData, commandid::RestoreBackup,
                   commandid::CommSettings, commandid::EnvSettings, commandid::SharedDbSync})
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    for (int id : {commandid::ShowData, commandid::TextOut, commandid::FilePrint, commandid::ExportData})
        EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;
    EXPECT_TRUE(guitest::grabToPng(frame.get(), guitest::grabDir() + "/view_file.png"));

    // A commit attempt and the close neither ask nor write.
    EXPECT_FALSE(doc->CommitStore());
    EXPECT_FALSE(doc->BackUpStore());
    EXPECT_TRUE(frame->close());
    frame.reset();
    EXPECT_TRUE(messages->entries().empty()) << messages->texts().join('\n').toStdString();
    EXPECT_EQ(readBytes(viewed), viewedBytes);
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("field copy.DAT")});
    EXPECT_TRUE(snapshot(home.path()) == before) << "the application folder was written";
}

TEST_F(ViewFileTest, AMissingOrDamagedFileIsToldAndLeftAsItIs)
{
    struct Case {
        const char* name;
        std::string bytes; // none: the file does not exist
        const char* told;
    } cases[] = {
        {"gone.DAT", {}, "指定のファイルを開けません"},
        {"damaged.DAT", std::string(100, 'x'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages->clear();
        const QString path = elsewhere.filePath(c.name);
        if (!c.bytes.empty()) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.bytes.data(), static_cast<qint64>(c.bytes.size()));
        }
        std::unique_ptr<MainWindow> frame(
            MainWindow::CreateWithDocument(settings, nullptr, path.toStdString()));
        EXPECT_FALSE(frame->ViewGraph()->HasRecord());
        EXPECT_TRUE(frame->windowTitle().contains(QString::fromUtf8(c.name)));
        ASSERT_EQ(messages->entries().size(), 1u);
        EXPECT_TRUE(messages->texts().first().contains(QString::fromUtf8(c.told)));
        EXPECT_TRUE(frame->close());
        frame.reset();
        EXPECT_EQ(readBytes(path), c.bytes);
        EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden).size(),
                  c.bytes.empty() ? 0 : 1)
            << "nothing set aside beside a viewed file";
        if (!c.bytes.empty())
            QFile::remove(path);
    }
}

} // namespace
