// Widget grabbing for GUI tests.
#include "support/widgetgrab.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>

namespace guitest {

bool grabToPng(QWidget* widget, const QString& path)
{
    if (!widget)
        return false;
    widget->ensurePolished();
    if (!widget->isVisible())
        widget->adjustSize();
    // Let pending layout work finish first: scroll areas show or hide their bars in a queued
    // step after a resize.
    QCoreApplication::processEvents();
    const QPixmap pixmap = widget->grab();
    if (pixmap.isNull())
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    return pixmap.save(path, "PNG");
}

QString grabDir()
{
    const QString env = qEnvironmentVariable("MXR_GRAB_DIR");
    if (!env.isEmpty())
        return env;
#ifdef MXR_GRAB_DIR
    return QStringLiteral(MXR_GRAB_DIR);
#else
    return QDir::tempPath() + QStringLiteral("/mxr-grabs");
#endif
}

} // namespace guitest
