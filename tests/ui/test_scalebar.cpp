// The dialog bar: list items, initial selections, fitting to a record and the changes its lists tell.
#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

#include "fixtures.h"
#include "ui/frame/scalebar.h"
#include "model/dialogbarlists.h"
#include "ui/document/measurementdocument.h"

namespace {

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

TEST(DialogBar, ListsHoldTheirItemsLabelsAndInitialSelections)
{
    ScaleBar bar;
    bar.FillLists();
    EXPECT_EQ(itemsOf(bar.axisList()).join(','), "1000,500,200,100,50,20,10,5,2,1");
    const QStringList start = itemsOf(bar.startTimeList());
    ASSERT_EQ(start.size(), 32);
    EXPECT_EQ(start.mid(0, 4).join(','), "0.0,0.5,1.0,1.5");
    EXPECT_EQ(start.last(), "15.5");
    EXPECT_EQ(itemsOf(bar.widthList()).join(','), "0.5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16");
    EXPECT_EQ(bar.Axis(), 1000.0);
    EXPECT_EQ(bar.StartTime(), 0.0);
    EXPECT_EQ(bar.Width(), 0.5);
    EXPECT_EQ(bar.axisList()->objectName(), "list1016");
    EXPECT_EQ(bar.startTimeList()->objectName(), "list1017");
    EXPECT_EQ(bar.widthList()->objectName(), "list1015");

    QStringList labels;
    for (const QLabel* l : bar.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        labels << l->text();
    EXPECT_EQ(labels.join('|'), QStringLiteral("測定値軸：|μA|表示開始時間：|分|幅：|分"));

    // An empty list has no value.
    bar.widthList()->setCurrentIndex(-1);
    EXPECT_EQ(bar.Width(), -1.0);
}

TEST(DialogBar, ChosenItemIsToldAsItsChangeAtOnce)
{
    MeasurementDocument doc;
    ScaleBar bar;
    bar.FillLists();
    bar.Connect(doc.Notifier());
    ChangeRecorder view;
    view.Connect(doc.Notifier());

    bar.startTimeList()->setCurrentIndex(5);
    emit bar.startTimeList()->activated(5); // the user's choice of "2.5"
    bar.widthList()->setCurrentIndex(3);
    emit bar.widthList()->activated(3);
    bar.axisList()->setCurrentIndex(9);
    emit bar.axisList()->activated(9);

    ASSERT_EQ(view.changes.size(), 3u);
    EXPECT_EQ(view.changes[0].first, Change::StartTime);
    EXPECT_EQ(std::get<double>(view.changes[0].second), 2.5);
    EXPECT_EQ(view.changes[1].first, Change::Width);
    EXPECT_EQ(std::get<double>(view.changes[1].second), 3.0);
    EXPECT_EQ(view.changes[2].first, Change::Axis);
    EXPECT_EQ(std::get<double>(view.changes[2].second), 1.0);
}
