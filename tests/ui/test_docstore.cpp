// The document never loses the user's data file: after a load that did not read it completely
// it is read-only and every save asks first; a file changed by another program is kept aside
// before a save replaces it; a failed write is told and the close asks before it ends.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

#include "fixtures.h"
#include "model/safefile.h"
#include "store/store.h"
#include "support/docondisk.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/common/messages.h"
#include "ui/document/measurementdocument.h"

namespace {

using Kind = CScriptedMessages::Kind;

// Another program holding the data file: a child process with an exclusive advisory lock on
// it until it is released (killed).
class LockHolder {
public:
    explicit LockHolder(const std::string& path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            ::flock(fd, LOCK_EX);
            [[maybe_unused]] ssize_t n = ::write(ready[1], "l", 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char c = 0;
        [[maybe_unused]] ssize_t n = ::read(ready[0], &c, 1);
        ::close(ready[0]);
    }
    ~LockHolder() { release(); }
    void release()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
};

void writeBytes(const QString& path, const std::string& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// The buttons of the read-only question.
constexpr int kSaveAnyway = 0, kSaveElsewhere = 1, kDoNotSave = 2, kClosed = -1;

class DocStoreTest : public DocOnDiskTest {
protected:
    QStringList filesInData() const
    {
        return QDir(dir.filePath("DATA")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    const std::string original = SaveStoreToBytes(storeWith({recordWithPoints({{0, 1.0}})}));
};

} // namespace

TEST_F(DocStoreTest, ALockedStoreIsReadOnlyAndReplacedOnlyOnTheUsersSay)
{
    writeBytes(store(), original);
    LockHolder other(store().toStdString());
    std::vector<bool> readOnly; // what readOnlyChanged said, in order
    QObject::connect(&doc.Notifier(), &DocumentNotifier::readOnlyChanged,
                     [&readOnly](bool on) { readOnly.push_back(on); });

    doc.OnNewDocument(); // waits 200 ms for the lock, then gives up
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].kind, Kind::Information);
    EXPECT_TRUE(
        messages->entries()[0].text.startsWith(QStringLiteral("ファイルを開くことが出来ません")));
    EXPECT_TRUE(doc.IsReadOnly());
    EXPECT_EQ(readOnly, std::vector<bool>{true});

    // What the user adds meanwhile is not written over the file without a question.
    doc.Store() = storeWith({recordWithPoints({{0, 9.0}})});
    messages->clear();
    for (int answer : {kDoNotSave, kClosed}) {
        messages->pushChoice(answer);
        EXPECT_FALSE(doc.CommitStore());
    }
    messages->pushChoice(kClosed);
    EXPECT_FALSE(doc.SaveForClose()); // closed without an answer: the window stays
    messages->pushChoice(kDoNotSave);
    EXPECT_TRUE(doc.SaveForClose()); // the user's explicit choice
    ASSERT_EQ(messages->entries().size(), 4u);
    EXPECT_EQ(messages->entries()[0].kind, Kind::Choice);
    EXPECT_TRUE(messages->entries()[0].text.contains(QStringLiteral("読み取り専用")));
    EXPECT_EQ(readBytes(store()), original);
    EXPECT_EQ(filesInData(), QStringList{"MXR.DAT"});

    // Saving anyway while the other program still holds it: the file is copied aside, the
    // save waits and fails, nothing is replaced.
    messages->clear();
    messages->pushChoice(kSaveAnyway);
    EXPECT_FALSE(doc.CommitStore());
    EXPECT_TRUE(doc.IsReadOnly());
    EXPECT_EQ(readBytes(store()), original);

    // Once it lets go, saving anyway keeps the old file beside the new one.
    other.release();
    messages->clear();
    messages->pushChoice(kSaveAnyway);
    ASSERT_TRUE(doc.CommitStore());
    EXPECT_FALSE(doc.IsReadOnly());
    EXPECT_EQ(readOnly, (std::vector<bool>{true, false}));
    EXPECT_EQ(readBytes(store()), SaveStoreToBytes(doc.Store()));
    const QStringList kept = QDir(dir.filePath("DATA")).entryList({"MXR.DAT.kept-*"});
    ASSERT_FALSE(kept.isEmpty());
    for (const QString& k : kept)
        EXPECT_EQ(readBytes(dir.filePath("DATA/" + k)), original);
    EXPECT_EQ(messages->entries().back().kind, Kind::Information);
    EXPECT_TRUE(messages->entries().back().text.contains(kept.last()));

    // Writable again: the next commit saves without asking.
    messages->clear();
    EXPECT_TRUE(doc.CommitStore());
    EXPECT_TRUE(messages->entries().empty());
}

TEST_F(DocStoreTest, APartlyReadStoreCanBeSavedToAnotherFileAndStaysAsItWas)
{
    std::string damaged = original;
    damaged.resize(damaged.size() - 5);
    writeBytes(store(), damaged);

    doc.OnNewDocument();
    EXPECT_TRUE(doc.IsReadOnly());
    ASSERT_EQ(QDir(dir.filePath("DATA")).entryList({"MXR.DAT.unreadable-*"}).size(), 1);

    const QString other = dir.filePath("saved/MXR2.DAT");
    messages->clear();
    messages->pushChoice(kSaveElsewhere);
    messages->pushPath(other);
    ASSERT_TRUE(doc.SaveForClose());
    EXPECT_EQ(readBytes(store()), damaged);
    EXPECT_EQ(readBytes(other), SaveStoreToBytes(doc.Store()));
    EXPECT_FALSE(doc.IsReadOnly());
    EXPECT_EQ(doc.DataFilePath(), other.toStdString());

    // The chosen file is the data file of the rest of the run; a cancelled chooser saves nothing.
    messages->clear();
    EXPECT_TRUE(doc.CommitStore());
    EXPECT_TRUE(messages->entries().empty());
}

TEST_F(DocStoreTest, AnUnreadableStoreSetAsideAtLoadIsNotCopiedAgainWhenSavedOverIt)
{
    std::string bytes = original;
    bytes[5] ^= 1; // the signature
    writeBytes(store(), bytes);
    doc.OnNewDocument();
    ASSERT_TRUE(doc.IsReadOnly());

    // "Another file" that is the data file itself is saving anyway.
    messages->clear();
    messages->pushChoice(kSaveElsewhere);
    messages->pushPath(store());
    ASSERT_TRUE(doc.CommitStore());
    EXPECT_FALSE(doc.IsReadOnly());
    const QStringList files = filesInData();
    ASSERT_EQ(files.size(), 2) << files.join(", ").toStdString();
    EXPECT_TRUE(files[1].startsWith("MXR.DAT.unreadable-"));
    EXPECT_EQ(readBytes(dir.filePath("DATA/" + files[1])), bytes);
    CCustomerDB reread;
    EXPECT_TRUE(LoadStore(reread, store().toStdString()).ok);
}

TEST_F(DocStoreTest, AStoreThatCannotBeOpenedForPermissionsIsReadOnly)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: a mode-000 file still opens, so there is no "
                        "permission failure to show (the held lock covers the same path)";
    writeBytes(store(), original);
    ::chmod(store().toLocal8Bit().constData(), 0);
    doc.OnNewDocument();
    EXPECT_TRUE(doc.IsReadOnly());
    messages->clear();
    messages->pushChoice(kDoNotSave);
    EXPECT_FALSE(doc.CommitStore());
    ::chmod(store().toLocal8Bit().constData(), 0644);
    EXPECT_EQ(readBytes(store()), original);
}

TEST_F(DocStoreTest, AStoreChangedByAnotherProgramIsKeptAsideAndTheUserTold)
{
    writeBytes(store(), original);
    doc.OnNewDocument();
    ASSERT_FALSE(doc.IsReadOnly());

    // Another copy of the program (or the command-line tool) saves its own tree meanwhile.
    const CCustomerDB theirs = storeWith({recordWithPoints({{0, 5.0}}), CMeasRecord()});
    ASSERT_TRUE(SaveStore(theirs, store().toStdString()).ok);

    doc.Store().comm.baudRate = 9600;
    ASSERT_TRUE(doc.CommitStore());
    EXPECT_EQ(readBytes(store()), SaveStoreToBytes(doc.Store()));
    const QStringList changed = QDir(dir.filePath("DATA")).entryList({"MXR.DAT.changed-*"});
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(readBytes(dir.filePath("DATA/" + changed[0])), SaveStoreToBytes(theirs));
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_EQ(messages->entries()[0].kind, Kind::Information);
    EXPECT_TRUE(messages->entries()[0].text.contains(changed[0]));

    // Our own save is the new reference: the next commit keeps nothing aside.
    messages->clear();
    ASSERT_TRUE(doc.CommitStore());
    EXPECT_TRUE(messages->entries().empty());
}

TEST_F(DocStoreTest, AFailedWriteIsToldAndTheCloseAsksBeforeItEnds)
{
    writeBytes(store(), original);
    doc.OnNewDocument();
    doc.Store().comm.baudRate = 9600;

    safefile::SetInjectedWriteError(ENOSPC);
    EXPECT_FALSE(doc.CommitStore());
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_TRUE(
        messages->entries()[0].text.contains(QStringLiteral("ディスクの空き容量が不足しています")));

    for (auto [answer, closes] : {std::pair{MessageInterface::Answer::No, false},
                                  std::pair{MessageInterface::Answer::Yes, true}}) {
        messages->clear();
        messages->pushAnswer(answer);
        EXPECT_EQ(doc.SaveForClose(), closes);
        ASSERT_EQ(messages->entries().size(), 2u);
        EXPECT_EQ(messages->entries()[1].kind, Kind::YesNo);
    }
    safefile::SetInjectedWriteError(0);
    EXPECT_EQ(readBytes(store()), original);
    EXPECT_EQ(filesInData(), QStringList{"MXR.DAT"});

    // Space again: the same tree is saved.
    ASSERT_TRUE(doc.CommitStore());
    EXPECT_EQ(readBytes(store()), SaveStoreToBytes(doc.Store()));
}

TEST(QtMessagesTest, ChoiceReturnsTheIndexOfThePressedButton)
{
    // The program's own box (not the scripted one): three Japanese buttons in order, the index
    // of the one pressed, -1 when the box is closed without one.
    for (int pressed : {0, 1, 2, -1}) {
        QTimer::singleShot(0, [pressed] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            if (pressed == 1)
                guitest::grabToPng(box, guitest::grabDir() + "/readonly_question.png");
            if (pressed < 0) {
                box->reject();
                return;
            }
            const QList<QAbstractButton*> buttons = box->buttons();
            for (QAbstractButton* b : buttons)
                if (b->text() == QStringList{"データファイルに保存", "別のファイルに保存...",
                                             "保存しない"}[pressed])
                    b->click();
        });
        DialogMessages messages;
        EXPECT_EQ(
            messages.choice(
                nullptr,
                QStringLiteral(
                    "データファイルは読み込みが完了しなかったため、読み取り専用で開いています。\n"
                    "./DATA/MXR.DAT\n変更をどこに保存しますか？"),
                {QStringLiteral("データファイルに保存"), QStringLiteral("別のファイルに保存..."),
                 QStringLiteral("保存しない")}),
            pressed);
    }
}

// At start-up the store is read on a worker thread while the window paints. Until the tree is
// in place the document reports the load, and a save asked for meanwhile waits for it: the
// empty tree is never written over the user's file.
TEST_F(DocStoreTest, ABackgroundLoadIsWaitedForBeforeAnySave)
{
    writeBytes(store(), original);
    LockHolder other(store().toStdString()); // keeps the load waiting for the file
    doc.SetStoreOptions({20000, 20, false});
    doc.SetLoadInBackground(true);
    std::vector<bool> loading;
    QObject::connect(&doc.Notifier(), &DocumentNotifier::loadingChanged,
                     [&loading](bool on) { loading.push_back(on); });

    doc.OnNewDocument();
    EXPECT_TRUE(doc.IsLoading());
    EXPECT_EQ(loading, std::vector<bool>{true});
    EXPECT_EQ(std::as_const(doc).Store().customers.Count(), 0);

    other.release();
    ASSERT_TRUE(doc.CommitStore());
    EXPECT_FALSE(doc.IsLoading());
    EXPECT_EQ(loading, (std::vector<bool>{true, false}));
    EXPECT_EQ(std::as_const(doc).Store(), storeWith({recordWithPoints({{0, 1.0}})}));
    EXPECT_EQ(readBytes(store()), original);
    EXPECT_TRUE(messages->entries().empty());

    // The worker's own note that it finished finds nothing left to do.
    QCoreApplication::processEvents();
    EXPECT_EQ(loading.size(), 2u);
}

TEST_F(DocStoreTest, ABackgroundLoadFinishesOnItsOwnAndReportsLikeALoadInPlace)
{
    writeBytes(store(), original.substr(0, original.size() - 3)); // damaged at the end
    doc.SetLoadInBackground(true);
    QSignalSpy finished(&doc.Notifier(), &DocumentNotifier::loadingChanged);
    doc.OnNewDocument();
    while (doc.IsLoading())
        ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.count(), 2);
    EXPECT_TRUE(doc.IsReadOnly()); // read only in part: nothing overwrites it unasked
    ASSERT_EQ(messages->entries().size(), 1u);
    EXPECT_TRUE(messages->entries()[0].text.startsWith(QString::fromUtf8("ｱｰｶｲﾌﾞ異常")));
}
