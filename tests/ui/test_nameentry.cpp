// NameEntryDialog and the name rules behind it: the byte limit while typing (double-byte characters
// never split), the prompts from the level titles, and the refusals of OK (duplicate
// siblings, text without a CP932 form).
#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "settings/appsettings.h"
#include "fixtures.h"
#include "model/cp932text.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/common/entryrules.h"
#include "ui/dialogs/nameentrydialog.h"

namespace {

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// Customers "顧客Ａ" (cable "CV-1" with set "2024春") and "顧客Ｂ" (cable "CV-2").
CCustomerDB twoCustomers()
{
    CCustomerDB db = storeWith({});
    CCustomer& b = db.customers.At(db.customers.FindOrInsert(cp932::lit("顧客Ｂ")));
    b.cables.FindOrInsert("CV-2");
    return db;
}

// Keeps the level titles of the program's settings for the test and puts them back after.
struct TitlesGuard {
    CAppSettings& s = AppSettings();
    std::string customer = s.TitleCustomer, cable = s.TitleCable, meas = s.TitleMeasurement;
    ~TitlesGuard()
    {
        s.TitleCustomer = customer;
        s.TitleCable = cable;
        s.TitleMeasurement = meas;
    }
};

} // namespace

TEST(NameRules, TypedTextIsCutToTheByteLimitWithoutSplittingACharacter)
{
    const std::string a = "あ";    // two bytes in CP932, three in UTF-8
    const std::string kana = "ｱ";  // half-width: one byte in CP932, three in UTF-8
    const std::string emoji = "😀"; // no CP932 form: counted as two
    struct Case {
        std::string text;
        int limit;
        std::size_t keptUtf8Bytes;
    } cases[] = {
        {std::string(26, 'x'), 26, 26},
        {std::string(27, 'x'), 26, 26},
        {repeat(a, 13), 26, 39},                     // exactly 26 bytes
        {repeat(a, 14), 26, 39},                     // byte 27 cut away
        {std::string(25, 'x') + a, 26, 25},          // byte 26 would be a lead byte: 25 kept
        {std::string(25, 'x') + kana + "y", 26, 28}, // a half-width kana counts one byte
        {repeat(kana, 40), 26, 78},
        {repeat(a, 20), 40, 60},
        {repeat(a, 20) + "z", 40, 60},
        {std::string(39, 'x') + emoji, 40, 39},
        {"", 26, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(entry::utf8PrefixFitting(c.text, c.limit), c.keptUtf8Bytes)
            << c.text << " / " << c.limit;
    EXPECT_EQ(entry::nameLimit(entry::KindCustomer), 40);
    EXPECT_EQ(entry::nameLimit(entry::KindCable), 26);
    EXPECT_EQ(entry::nameLimit(entry::KindMeasData), 26);
    EXPECT_EQ(entry::charsWithoutCp932("a😀bé😀ｱ漢"), (std::vector<std::string>{"😀", "é"}));
}

TEST(NameRules, SiblingsAreSearchedUnderTheGivenCustomerAndCableOnly)
{
    const CCustomerDB db = twoCustomers();
    using entry::siblingExists;
    EXPECT_TRUE(siblingExists(db, entry::KindCustomer, -1, -1, cp932::lit("顧客Ａ")));
    EXPECT_FALSE(siblingExists(db, entry::KindCustomer, -1, -1, cp932::lit("顧客ａ")));
    // Only ASCII letters fold.
    EXPECT_TRUE(siblingExists(db, entry::KindCable, 0, -1, "cv-1"));
    EXPECT_FALSE(siblingExists(db, entry::KindCable, 1, -1, "CV-1"));
    EXPECT_TRUE(siblingExists(db, entry::KindCable, 1, -1, "cV-2"));
    EXPECT_TRUE(siblingExists(db, entry::KindMeasData, 0, 0, cp932::lit("2024春")));
    EXPECT_FALSE(siblingExists(db, entry::KindMeasData, 1, 0, cp932::lit("2024春")));
    // Positions outside the tree have no siblings instead of reaching past the lists.
    EXPECT_FALSE(siblingExists(db, entry::KindCable, 2, -1, "CV-1"));
    EXPECT_FALSE(siblingExists(db, entry::KindMeasData, 0, 5, cp932::lit("2024春")));
    EXPECT_FALSE(siblingExists(db, entry::KindMeasData, -1, 0, cp932::lit("2024春")));
}

TEST(AddItem, PromptsComeFromTheLevelTitlesAndReplaceTheDefaultWhole)
{
    TitlesGuard guard;
    AppSettings().TitleCustomer.clear();
    AppSettings().TitleCable.clear();
    AppSettings().TitleMeasurement = cp932::lit("試験");
    const QString expected[] = {QStringLiteral("需要家名称："), QStringLiteral("ケーブル名称："),
                                QStringLiteral("試験")};
    const int limits[] = {40, 26, 26};
    for (int kind = 0; kind < 3; ++kind) {
        NameEntryDialog dlg;
        dlg.SetKind(kind);
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.Prompt()->text(), expected[kind]);
        EXPECT_EQ(dlg.Limit(), limits[kind]);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("新規追加"));
    }
}

TEST(AddItem, TypingPastTheLimitCutsTheTextBackAndKeepsTheCaretAtTheEnd)
{
    NameEntryDialog dlg;
    dlg.SetKind(entry::KindCable);
    dlg.OnInitDialog();
    QLineEdit* edit = dlg.NameEdit();
    edit->setText(QString(26, QChar('c')));
    EXPECT_EQ(edit->text().size(), 26);
    edit->insert(QStringLiteral("d")); // the 27th byte
    EXPECT_EQ(edit->text(), QString(26, QChar('c')));
    EXPECT_EQ(edit->cursorPosition(), 26);

    edit->setText(QString(25, QChar('c')) + QStringLiteral("あい")); // a paste past the limit
    EXPECT_EQ(edit->text(), QString(25, QChar('c')));

    NameEntryDialog customer;
    customer.SetKind(entry::KindCustomer);
    customer.OnInitDialog();
    customer.NameEdit()->setText(QString(21, QChar(0x6F22))); // 42 bytes of 漢
    EXPECT_EQ(customer.NameEdit()->text(), QString(20, QChar(0x6F22)));
}

TEST(AddItem, OkRefusesDuplicatesAndUnstorableTextAndAcceptsTheRest)
{
    ScopedScriptedMessages messages;
    const CCustomerDB db = twoCustomers();
    struct Case {
        int kind, customer, cable;
        QString text;
        QString error; // empty: accepted
    } cases[] = {
        {0, -1, -1, QStringLiteral("顧客Ａ"),
         QStringLiteral("指定の名称は既に存在しています\n顧客Ａ")},
        {0, -1, -1, QStringLiteral("顧客Ｃ"), {}},
        {1, 0, -1, QStringLiteral("cv-1"), QStringLiteral("指定の名称は既に存在しています\ncv-1")},
        {1, 1, -1, QStringLiteral("CV-1"), {}}, // the same name under another customer
        {2, 0, 0, QStringLiteral("2024春"),
         QStringLiteral("指定の名称は既に存在しています\n2024春")},
        {2, 1, 0, QStringLiteral("2024春"), {}},
        {0, -1, -1, QStringLiteral("顧客😀é"),
         QStringLiteral("保存できない文字が含まれています\n😀　é")},
    };
    for (const Case& c : cases) {
        messages->clear();
        NameEntryDialog dlg;
        dlg.SetKind(c.kind);
        dlg.SetCustomer(c.customer);
        dlg.SetCable(c.cable);
        dlg.SetTree(&db);
        dlg.OnInitDialog();
        dlg.NameEdit()->setText(c.text);
        const bool accepted = dlg.OnOK();
        EXPECT_EQ(accepted, c.error.isEmpty()) << c.text.toStdString();
        if (accepted) {
            EXPECT_TRUE(messages->entries().empty());
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_EQ(dlg.Name(), *cp932::fromUtf8(c.text.toStdString()));
        } else {
            ASSERT_EQ(messages->entries().size(), 1u);
            EXPECT_EQ(messages->entries()[0].kind, CScriptedMessages::Kind::Error);
            EXPECT_EQ(messages->entries()[0].text, c.error);
            EXPECT_EQ(dlg.NameEdit()->text(), c.text); // the input stays as typed
            EXPECT_TRUE(dlg.Name().empty());
        }
    }
}

// A picture to look at, not a check.
TEST(Grab, NameEntryDialog)
{
    const CCustomerDB db = twoCustomers();
    NameEntryDialog dlg;
    dlg.SetKind(entry::KindCable);
    dlg.SetTree(&db);
    dlg.OnInitDialog();
    dlg.NameEdit()->setText(QStringLiteral("CV-3 引込線"));
    EXPECT_TRUE(guitest::grabToPng(&dlg, guitest::grabDir() + "/nameentry.png"));
}
