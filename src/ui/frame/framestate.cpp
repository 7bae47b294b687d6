// Window placement and splitter state of the main window.
#include "ui/frame/framestate.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include "settings/appsettings.h"
#include "model/number.h"

namespace framestate {

bool ApplyPlacement(QWidget& window, const CAppSettings& settings)
{
    if (!settings.PlacementRead)
        return false;
    const WindowPlacement& p = settings.Placement;
    QRect rect(p.left, p.top, p.right - p.left, p.bottom - p.top);
    if (rect.width() > 0 && rect.height() > 0) {
        bool onScreen = false;
        for (const QScreen* screen : QGuiApplication::screens())
            onScreen = onScreen || screen->availableGeometry().intersects(rect);
        if (onScreen)
            window.setGeometry(rect);
        else
            window.resize(rect.size()); // a screen that is gone: the default position
    }
    return p.showCmd == ShowMaximized;
}

void StorePlacement(const QWidget& window, CAppSettings& settings)
{
    WindowPlacement p;
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized) {
        p.showCmd = ShowMinimized;
        if (state & Qt::WindowMaximized)
            p.flags = 2; // restores to maximized
    } else if (state & Qt::WindowMaximized) {
        p.showCmd = ShowMaximized;
    } else {
        p.showCmd = 1;
    }
    QRect normal = window.normalGeometry();
    if (normal.isEmpty())
        normal = window.geometry();
    p.left = normal.left();
    p.top = normal.top();
    p.right = normal.left() + normal.width();
    p.bottom = normal.top() + normal.height();
    settings.Placement = p;
    settings.PlacementRead = true;
    settings.PlacementText = FormatPlacement(p);
}

std::string SplitterStateText(int hiddenColumn, int width0, int hiddenRow, int height0)
{
    return formatC("%d %d %d %d", hiddenColumn, width0 == -1 ? 100 : width0, hiddenRow,
                   height0 == -1 ? 100 : height0);
}

void WriteSplitterState(const std::string& iniPath, const QWidget& reportView)
{
    CIniFile ini(iniPath);
    ini.SetString(SplitterSection, SplitterKey,
                  SplitterStateText(1, reportView.width(), -1, reportView.height()));
}

} // namespace framestate
