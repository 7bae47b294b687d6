// CheckListView: the column layout text and the checked rows.
#include <gtest/gtest.h>

#include "widgets/checklistview.h"

namespace {

TEST(ColumnLayout, ParsesEntriesAndToleratesSloppyText)
{
    using C = std::vector<ListColumn>;
    const QString name = QStringLiteral("需要家名称");
    struct Case {
        QString layout;
        C columns;
    } cases[] = {
        {QStringLiteral("x, 25;需要家名称, 500, 0;"),
         C{{"x", 25, Qt::AlignLeft, true}, {name, 500, Qt::AlignLeft, false}}},
        {QStringLiteral("a,10,1;b , 20 , 2"),
         C{{"a", 10, Qt::AlignRight, false}, {"b", 20, Qt::AlignHCenter, false}}},
        {QStringLiteral(";;only;z, wide, 9;"),
         C{{"only", 100, Qt::AlignLeft, false}, {"z", 100, Qt::AlignLeft, false}}},
        {QString(), C{}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.columns, ParseColumnLayout(c.layout)) << c.layout.toStdString();
}

TEST(CheckListView, RowsStartUncheckedAndReportCheckedRowsInOrder)
{
    CheckListView list;
    list.SetColumnLayout(QStringLiteral("x, 25;日時, 145, 0;値, 75, 1;"));
    ASSERT_EQ(3, list.columnCount());
    EXPECT_EQ(QString(), list.headerItem()->text(0));
    EXPECT_EQ(QStringLiteral("値"), list.headerItem()->text(2));
    EXPECT_EQ(145, list.columnWidth(1));
    for (int i = 0; i < 4; ++i)
        list.AddRow({QStringLiteral("r%1").arg(i), QStringLiteral("%1").arg(i * 10)});
    EXPECT_EQ(QStringLiteral("r2"), list.topLevelItem(2)->text(1));
    EXPECT_EQ(QStringLiteral("20"), list.topLevelItem(2)->text(2));
    EXPECT_TRUE(list.CheckedRows().empty());

    list.SetRowChecked(3, true);
    list.topLevelItem(1)->setCheckState(0, Qt::Checked); // as a click does
    EXPECT_EQ((std::vector<int>{1, 3}), list.CheckedRows());

    // Columns widen to a text they would cut, and never narrow.
    list.AddRow({QString(200, QLatin1Char('W')), QStringLiteral("1")});
    list.FitColumnsToContents();
    EXPECT_GT(list.columnWidth(1), 145);
    EXPECT_EQ(75, list.columnWidth(2));

    // A new layout empties the list.
    list.SetColumnLayout(QStringLiteral("x, 25;名前, 500, 0;"));
    EXPECT_EQ(0, list.RowCount());
    EXPECT_EQ(2, list.columnCount());
    EXPECT_TRUE(list.CheckedRows().empty());
}

} // namespace
