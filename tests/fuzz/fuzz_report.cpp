// links: mxr_report mxr_store mxr_model
// libFuzzer target for the report inputs: the bytes are read as a data store, and each of its
// first records is scaled as the main window would, filled into the screen report and laid out,
// and counted into printed pages whose first, last graph and last table page are built. Page
// counts must stay within what the record's points can ask for.
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/dialogbarlists.h"
#include "model/measdata.h"
#include "report/pagereport.h"
#include "report/reportmath.h"
#include "report/screenreport.h"
#include "store/store.h"

namespace {

constexpr int kRecordsPerInput = 3; // a few records keep each run short

void checkRecord(const CMeasRecord& r)
{
    double maxValue = 0.0, maxSeconds = 0.0;
    r.PeakValues(true, maxValue, maxSeconds);
    const auto axisItems = dialogbar::axisItems();
    const auto widthItems = dialogbar::widthItems();
    const double axis =
        dialogbar::itemValue(axisItems, dialogbar::autoAxisIndex(axisItems, maxValue));
    const double width =
        dialogbar::itemValue(widthItems, dialogbar::autoWidthIndex(widthItems, maxSeconds));
    if (!(axis > 0) || !(width > 0))
        std::abort(); // the lists always offer a choice

    ReportContent content;
    content.customer = "C";
    content.cable = "K";
    content.measData = "S";
    content.record = &r;

    static QImage image(320, 240, QImage::Format_RGB32);
    ScreenReport screen{ReportSettings{}};
    screen.fill(content, 0.0, width, axis);
    const LayoutContext ctx{ReportMapping::forDevice(image), &image};
    screen.layout(ctx.mapping.toLogical(QRectF(0, 0, image.width(), image.height())), ctx);

    // Narrowest width offered: the most graph pages a record can have.
    PageReport pages(ReportSettings{}, content, 0.5, axis, PrintOptions{});
    const int used = std::clamp<int>(r.UsedPoints, 0, static_cast<int>(r.Points.size()));
    const int tablePages = used > 0 ? (used - 1) / report::kPointsPerTablePage + 1 : 1;
    if (pages.graphPages() < 1 || pages.graphPages() > report::kMaxGraphPages ||
        pages.totalPages() != pages.graphPages() + tablePages)
        std::abort();
    for (int p : {1, pages.graphPages(), pages.totalPages()})
        if (!pages.buildPage(p))
            std::abort();
    if (pages.buildPage(pages.totalPages() + 1))
        std::abort();
}

} // namespace

// The font configuration library keeps its caches until the process ends; they are not leaks
// of the report code.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CCustomerDB db;
    LoadStoreFromBytes(db, std::string_view(reinterpret_cast<const char*>(data), size));
    int seen = 0; // a damaged file still shows what was read before the damage
    for (int c = 0; c < db.customers.Count(); ++c)
        for (int k = 0; k < db.customers.At(c).cables.Count(); ++k)
            for (int s = 0; s < db.customers.At(c).cables.At(k).sets.Count(); ++s)
                for (const CMeasRecord& r : db.customers.At(c).cables.At(k).sets.At(s).Records()) {
                    if (seen++ == kRecordsPerInput)
                        return 0;
                    checkRecord(r);
                }
    return 0;
}
