// The data page sheet on small screens: it opens no larger than the available area, every
// button can be reached, the lists and the condition table follow the window's size, and
// below the page's minimum size the page scrolls instead of being cut off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "settings/appsettings.h"
#include "exchangedata.h"
#include "support/scriptedmessages.h"
#include "support/widgetgrab.h"
#include "ui/pages/customertreepage.h"
#include "ui/common/uitext.h"
#include "widgets/conditiongrid.h"
#include "widgets/reportlist.h"
#include "widgets/treepropertysheet.h"

using cp932::lit;
using namespace customertree;

namespace {

const QRect kSmallScreen(0, 0, 1280, 720);

ReceivedRecord received(double kV, int no)
{
    ReceivedRecord r;
    static_cast<CMeasRecord&>(r) = xdata::measured(kV, no, 1.0);
    return r;
}

// The sheet as the menu commands build it, fitted into `available`, shown.
struct Sheet {
    Sheet(PageMode mode, CCustomerDB& tree, CAppSettings& settings, const QRect* available)
        : sheet(ui::toQ(SheetTitle(settings, mode)))
    {
        page = new CustomerTreePage(mode, tree, settings);
        sheet.AddPage(page, sheet.windowTitle());
        page->SetSelection({lit("東北電力"), "", "", 0});
        if (mode == PageMode::Transfer)
            page->SetReceived({received(5, 1), received(10, 2), received(15, 3)});
        FitDataPageSheet(sheet, mode, available);
        sheet.show();
        settle();
    }
    void resize(QSize size)
    {
        sheet.resize(size);
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    // Every shown button lies in the sheet, and a button of the page lies in the visible
    // part of the page once the page is scrolled to it.
    void expectButtonsReachable(const char* when)
    {
        QScrollArea* area = sheet.PageArea();
        for (QPushButton* b : sheet.findChildren<QPushButton*>()) {
            if (!b->isVisibleTo(&sheet))
                continue;
            if (area->isAncestorOf(b)) {
                area->ensureWidgetVisible(b, 0, 0);
                settle();
                const QRect inView(b->mapTo(area->viewport(), QPoint(0, 0)), b->size());
                EXPECT_TRUE(area->viewport()->rect().contains(inView))
                    << when << ": " << b->text().toStdString();
            }
            const QRect inSheet(b->mapTo(&sheet, QPoint(0, 0)), b->size());
            EXPECT_TRUE(area->isAncestorOf(b) || sheet.rect().contains(inSheet))
                << when << ": " << b->text().toStdString();
        }
    }
    TreePropertySheet sheet;
    CustomerTreePage* page = nullptr;
};

class DataSheetSizeTest : public testing::Test {
protected:
    ScopedScriptedMessages messages;
    CCustomerDB tree = xdata::realisticTree();
    CAppSettings settings;
};

} // namespace

TEST_F(DataSheetSizeTest, OpensInsideTheScreenWithEveryButtonReachable)
{
    for (PageMode mode : {PageMode::Display, PageMode::Edit, PageMode::Transfer}) {
        SCOPED_TRACE(static_cast<int>(mode));
        Sheet s(mode, tree, settings, &kSmallScreen);
        EXPECT_TRUE(kSmallScreen.contains(s.sheet.geometry()));
        EXPECT_LE(s.sheet.minimumWidth(), s.sheet.width());
        EXPECT_LE(s.sheet.minimumHeight(), s.sheet.height());
        s.expectButtonsReachable("fitted");
        // At 1280 × 720 the whole page is in view, without scrolling.
        EXPECT_FALSE(s.sheet.PageArea()->horizontalScrollBar()->isVisible());
        EXPECT_FALSE(s.sheet.PageArea()->verticalScrollBar()->isVisible());
    }
    // Without a given area: the screen the sheet is on.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    Sheet s(PageMode::Transfer, tree, settings, nullptr);
    EXPECT_TRUE(screen.contains(s.sheet.geometry()));
}

TEST_F(DataSheetSizeTest, ListsFollowTheWindowAndTheSmallestSheetScrolls)
{
    for (PageMode mode : {PageMode::Edit, PageMode::Transfer}) {
        SCOPED_TRACE(static_cast<int>(mode));
        Sheet s(mode, tree, settings, &kSmallScreen);
        CustomerTreePage& p = *s.page;
        std::vector<QWidget*> growing = {p.NameList(LevelCustomer), p.NameList(LevelMeasData),
                                         p.MeasList(), p.Grid()};
        if (mode == PageMode::Transfer)
            growing.push_back(p.TransferList());
        auto areas = [&] {
            std::vector<int> a;
            for (QWidget* w : growing)
                a.push_back(w->width() * w->height());
            return a;
        };
        const std::vector<int> fitted = areas();
        s.resize(s.sheet.size() + QSize(300, 300));
        const std::vector<int> larger = areas();
        s.resize(s.sheet.minimumSize());
        const std::vector<int> smallest = areas();
        for (std::size_t i = 0; i < growing.size(); ++i) {
            EXPECT_GT(larger[i], fitted[i]) << i;
            EXPECT_LT(smallest[i], fitted[i]) << i;
        }

        // The smallest sheet: the page keeps its minimum size and scrolls where it is
        // larger than the room it has; OK and Cancel stay in view.
        QScrollArea* area = s.sheet.PageArea();
        const QSize need = p.minimumSizeHint();
        const QSize room = area->viewport()->size();
        EXPECT_GE(area->widget()->width(), need.width());
        EXPECT_GE(area->widget()->height(), need.height());
        EXPECT_EQ(need.width() > room.width(), area->horizontalScrollBar()->isVisible());
        EXPECT_EQ(need.height() > room.height(), area->verticalScrollBar()->isVisible());
        s.expectButtonsReachable("smallest");
        if (mode == PageMode::Transfer) {
            EXPECT_TRUE(guitest::grabToPng(&s.sheet, guitest::grabDir() + "/pgtransfer_min.png"));
        }
    }
}

using GrabDataSheet = DataSheetSizeTest;
TEST_F(GrabDataSheet, TransferSheetOnASmallScreen)
{
    Sheet s(PageMode::Transfer, tree, settings, &kSmallScreen);
    s.page->TransferList()->SetChecked(1, true);
    EXPECT_TRUE(guitest::grabToPng(&s.sheet, guitest::grabDir() + "/pgtransfer_1280x720.png"));
}
