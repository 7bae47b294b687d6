// The dialogs the program builds speak Japanese: the buttons of its questions, the file
// chooser, Qt's own catalogue, and the calendar of the date picker, while numbers keep the C
// form.
#include <gtest/gtest.h>
#include "support/whenmodal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include "settings/appsettings.h"
#include "fixtures.h"
#include "support/widgetgrab.h"
#include "ui/common/messages.h"
#include "ui/dialogs/nameentrydialog.h"
#include "ui/pages/customertreepage.h"
#include "widgets/reportlist.h"

using cp932::lit;

namespace {

// The dialogs of the running program instead of a scripted answerer, for one test.
class RealDialogs {
public:
    RealDialogs() : m_previous(ui::installMessages(nullptr)) {}
    ~RealDialogs() { ui::installMessages(std::move(m_previous)); }

private:
    std::unique_ptr<MessageInterface> m_previous;
};

using guitest::whenModal;

QStringList buttonTexts(const QList<QAbstractButton*>& buttons)
{
    QStringList texts;
    for (const QAbstractButton* b : buttons)
        texts << b->text();
    texts.sort();
    return texts;
}

CMeasRecord record(double kV)
{
    CMeasRecord r;
    r.TestVoltage = kV;
    r.StartTime = *OleDateTime::fromCalendar({2024, 5, 12, 9, 30, 0});
    return r;
}

struct JapaneseUiTest : testing::Test {
    CCustomerDB tree = storeWith({record(10), record(20)});
    CAppSettings settings;
    RealDialogs dialogs;
};

} // namespace

TEST_F(JapaneseUiTest, QuestionsAnswerWithJapaneseButtons)
{
    CustomerTreePage page(PageMode::Transfer, tree, settings);
    page.SetSelection({lit("顧客Ａ"), "CV-1", lit("2024春"), 0});
    ReceivedRecord r;
    static_cast<CMeasRecord&>(r) = record(15);
    page.SetReceived({r});
    page.TransferList()->SetChecked(0, true);

    // The registration question names 【はい】【いいえ】【キャンセル】: its buttons say so.
    QStringList registration;
    whenModal<QMessageBox>([&registration](QMessageBox& box) {
        registration = buttonTexts(box.buttons());
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        // はい erases the set's measurements: Enter must not.
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
        EXPECT_TRUE(guitest::grabToPng(&box, guitest::grabDir() + "/question_ja.png"));
        box.button(QMessageBox::Cancel)->click();
    });
    EXPECT_FALSE(page.RegisterChecked());
    EXPECT_EQ(registration.join('|').toStdString(), "いいえ|はい|キャンセル");
    EXPECT_EQ(page.Received().size(), 1u);

    // A delete confirmation: はい and いいえ; いいえ keeps the set.
    QStringList deletion;
    whenModal<QMessageBox>([&deletion](QMessageBox& box) {
        deletion = buttonTexts(box.buttons());
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
        box.button(QMessageBox::No)->click();
    });
    page.OnDelete(customertree::LevelMeasData);
    EXPECT_EQ(deletion.join('|').toStdString(), "いいえ|はい");
    EXPECT_EQ(tree.customers.At(0).cables.At(0).sets.Count(), 1);

    // An error with its OK.
    QStringList error;
    whenModal<QMessageBox>([&error](QMessageBox& box) {
        error = buttonTexts(box.buttons());
        box.button(QMessageBox::Ok)->click();
    });
    ui::messages().error(nullptr, QStringLiteral("登録する転送データをチェックしてください"));
    EXPECT_EQ(error, QStringList{QStringLiteral("OK")});
}

TEST_F(JapaneseUiTest, FileChooserSpeaksJapanese)
{
    CustomerTreePage page(PageMode::Transfer, tree, settings);
    QStringList buttons;
    QString title;
    whenModal<QFileDialog>([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        auto* box = dialog.findChild<QDialogButtonBox*>();
        ASSERT_NE(box, nullptr);
        buttons = buttonTexts(box->buttons());
        EXPECT_TRUE(guitest::grabToPng(&dialog, guitest::grabDir() + "/filechooser_ja.png"));
        dialog.reject();
    });
    page.ReadReceptionFromFile();
    EXPECT_EQ(title, QStringLiteral("計測データファイルを開く"));
    EXPECT_EQ(buttons.join('|').toStdString(), "キャンセル|開く");
    EXPECT_TRUE(page.Received().empty());
}

TEST_F(JapaneseUiTest, QuestionsThatLoseDataFocusNo)
{
    whenModal<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
        EXPECT_TRUE(guitest::grabToPng(&box, guitest::grabDir() + "/emptyname_question.png"));
        box.button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(ConfirmEmptyName(nullptr, QStringLiteral("需要家名")));
    // An ordinary question keeps はい as its default.
    whenModal<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Yes));
        box.button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(ui::messages().questionYesNo(nullptr, QStringLiteral("作成しますか？")),
              MessageInterface::Answer::Yes);
}

TEST_F(JapaneseUiTest, FileChooserNamesFoldersAndShowsWholeDates)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("DATA")));
    QString type, date;
    int dateWidth = 0, dateColumn = 0;
    whenModal<QFileDialog>([&](QFileDialog& dialog) {
        dialog.resize(900, 480);
        auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(view, nullptr);
        dialog.setViewMode(QFileDialog::Detail);
        const QModelIndex root = view->rootIndex();
        for (int i = 0; i < 200 && view->model()->rowCount(root) == 0; ++i)
            QTest::qWait(10);
        ASSERT_GT(view->model()->rowCount(root), 0);
        type = view->model()->index(0, 2, root).data().toString();
        date = view->model()->index(0, 3, root).data().toString();
        dateWidth = view->fontMetrics().horizontalAdvance(date);
        dateColumn = view->header()->sectionSize(3);
        EXPECT_GT(view->header()->sectionSize(2), view->fontMetrics().horizontalAdvance(type));
        EXPECT_TRUE(guitest::grabToPng(&dialog, guitest::grabDir() + "/filechooser_detail.png"));
        dialog.reject();
    });
    ui::messages().openFileName(nullptr, QStringLiteral("開く"), dir.path(),
                                QStringLiteral("すべてのファイル (*)"));
    EXPECT_EQ(type, QStringLiteral("フォルダー"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}$"))
                    .match(date)
                    .hasMatch())
        << date.toStdString();
    EXPECT_GT(dateColumn, dateWidth) << date.toStdString();
}

TEST(JapaneseUi, QtCatalogueCalendarAndNumbers)
{
    // Qt's own texts (print and page set-up dialogs, context menus) come from its catalogue
    // when it is installed.
    const QString catalogue =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm");
    if (QFile::exists(catalogue)) {
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  QStringLiteral("キャンセル"));
    }

    // The date picker's calendar names months and weekdays in Japanese.
    ReportList list;
    list.SetColumns({{QStringLiteral("測定日"), 100}});
    list.SetColumnKind(0, ReportList::CellKind::Date);
    list.SetCellText([](int, int) { return QStringLiteral("2024/05/12"); });
    list.SetEditQuery([](int, int) { return true; });
    list.Refill(1);
    ASSERT_TRUE(list.RequestEdit(0, 0));
    auto* edit = list.viewport()->findChild<QDateEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("2024/05/12"));
    const QLocale calendar = edit->calendarWidget()->locale();
    EXPECT_TRUE(
        guitest::grabToPng(edit->calendarWidget(), guitest::grabDir() + "/calendar_ja.png"));
    EXPECT_EQ(calendar.language(), QLocale::Japanese);
    EXPECT_EQ(calendar.dayName(7, QLocale::ShortFormat), QStringLiteral("日"));
    EXPECT_EQ(calendar.monthName(5, QLocale::ShortFormat), QStringLiteral("5月"));
    // The heading reads year first, with 年, also after turning to another year.
    edit->calendarWidget()->showNextYear();
    auto* year = edit->calendarWidget()->findChild<QToolButton*>("qt_calendar_yearbutton");
    ASSERT_NE(year, nullptr);
    EXPECT_EQ(year->text(), QStringLiteral("2025年"));

    // Numbers stay in the C form under the default locale.
    EXPECT_EQ(QLocale().language(), QLocale::Japanese);
    EXPECT_EQ(QLocale().toString(1234.5), QStringLiteral("1234.5"));
    bool ok = true;
    QLocale().toDouble(QStringLiteral("12,5"), &ok);
    EXPECT_FALSE(ok);
}
