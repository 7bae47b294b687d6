// Toolbar icons: the theme's when complete, else simple drawings on a 16-unit grid.
#include "ui/frame/toolicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <utility>

#include "ui/frame/commandids.h"

namespace {

struct ThemeName {
    int id;
    const char* name;
};

constexpr ThemeName kThemeNames[] = {
    {commandid::EditCustomer, "x-office-address-book"},
    {commandid::ShowData, "x-office-spreadsheet"},
    {commandid::TransferData, "network-receive"},
    {commandid::TextOut, "document-export"},
    {commandid::FilePrint, "document-print"},
    {commandid::PrintPreview, "document-print-preview"},
    {commandid::PdfOut, "application-pdf"},
    {commandid::EnvSettings, "preferences-system"},
    {commandid::AppAbout, "help-about"},
};

bool themeComplete()
{
    static const bool complete = [] {
        for (const auto& t : kThemeNames) {
            if (!QIcon::hasThemeIcon(QString::fromLatin1(t.name)))
                return false;
        }
        return true;
    }();
    return complete;
}

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kBlue(40, 100, 190);
const QColor kGreen(30, 140, 70);
const QColor kRed(200, 50, 40);

// A sheet of paper with a folded corner.
void drawSheet(QPainter& p, QRectF r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 3, r.top());
    path.lineTo(r.right(), r.top() + 3);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 3, r.top()), QPointF(r.right() - 3, r.top() + 3));
    p.drawLine(QPointF(r.right() - 3, r.top() + 3), QPointF(r.right(), r.top() + 3));
}

void drawEditCustomer(QPainter& p)
{
    // A person with a pencil: editing the customer information.
    p.setPen(QPen(kInk, 1));
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(3.5, 1.5, 5, 5));
    QPainterPath body;
    body.moveTo(1.5, 13.5);
    body.cubicTo(1.5, 7.5, 10.5, 7.5, 10.5, 13.5);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(QPen(QColor(230, 170, 30), 2.2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(14.5, 6.5), QPointF(8.5, 12.5));
    p.setPen(QPen(kInk, 1.2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(8.5, 12.5), QPointF(7.5, 14.5));
}

void drawShowData(QPainter& p)
{
    // A sheet with a rising curve: showing the measurement data.
    drawSheet(p, QRectF(2.5, 1.5, 11, 13));
    p.setPen(QPen(kInk, 0.8));
    p.drawLine(QPointF(4.5, 4.5), QPointF(4.5, 12.5));
    p.drawLine(QPointF(4.5, 12.5), QPointF(11.5, 12.5));
    p.setPen(QPen(kRed, 1.4));
    p.setBrush(Qt::NoBrush);
    QPainterPath curve;
    curve.moveTo(5, 6);
    curve.cubicTo(6.5, 11, 8, 11, 11.5, 11);
    p.drawPath(curve);
}

void drawTransfer(QPainter& p)
{
    // The tester handing data down to the computer.
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(235, 200, 60));
    p.drawRoundedRect(QRectF(3.5, 0.5, 9, 5), 1, 1);
    p.setBrush(kInk);
    p.drawRect(QRectF(5.5, 2, 3, 1.5));
    p.setBrush(QColor(200, 215, 235));
    p.drawRect(QRectF(1.5, 10.5, 13, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    QPainterPath arrow;
    arrow.moveTo(6.5, 6);
    arrow.lineTo(9.5, 6);
    arrow.lineTo(9.5, 8);
    arrow.lineTo(11.5, 8);
    arrow.lineTo(8, 11);
    arrow.lineTo(4.5, 8);
    arrow.lineTo(6.5, 8);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void drawTextOut(QPainter& p)
{
    // A text sheet with an arrow leaving it.
    drawSheet(p, QRectF(1.5, 1.5, 10, 13));
    p.setPen(QPen(kInk, 0.8));
    for (double y = 5.5; y <= 12.5; y += 2)
        p.drawLine(QPointF(3.5, y), QPointF(8.5, y));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    QPainterPath arrow;
    arrow.moveTo(8, 8.5);
    arrow.lineTo(11.5, 8.5);
    arrow.lineTo(11.5, 6);
    arrow.lineTo(15.5, 10);
    arrow.lineTo(11.5, 14);
    arrow.lineTo(11.5, 11.5);
    arrow.lineTo(8, 11.5);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void drawPrint(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(170, 170, 170));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
    p.setPen(QPen(kInk, 0.7));
    p.drawLine(QPointF(5.5, 12), QPointF(10.5, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QRectF(12, 8, 1.6, 1.6));
}

void drawPreview(QPainter& p)
{
    // A printed sheet under a magnifying glass.
    drawSheet(p, QRectF(1.5, 1.5, 10, 13));
    p.setPen(QPen(kInk, 0.8));
    for (double y = 4.5; y <= 8.5; y += 2)
        p.drawLine(QPointF(3.5, y), QPointF(8.5, y));
    p.setPen(QPen(kInk, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.5, 11.5), QPointF(14.5, 14.5));
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QPointF(9, 9), 3.5, 3.5);
}

void drawPdfOut(QPainter& p)
{
    // A sheet with a red band: the document as a fixed-layout file.
    drawSheet(p, QRectF(2.5, 1.5, 11, 13));
    p.setPen(QPen(kInk, 0.8));
    for (double y = 4.5; y <= 6.5; y += 2)
        p.drawLine(QPointF(4.5, y), QPointF(10.5, y));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(QRectF(1, 8.5, 11, 5));
    p.setPen(QPen(kPaper, 1));
    p.drawLine(QPointF(3, 10), QPointF(3, 12.5));
    p.drawLine(QPointF(3, 10), QPointF(4.5, 10.5));
    p.drawLine(QPointF(6, 10), QPointF(6, 12.5));
    p.drawLine(QPointF(6, 10), QPointF(7.3, 11.2));
    p.drawLine(QPointF(7.3, 11.2), QPointF(6, 12.5));
    p.drawLine(QPointF(9, 10), QPointF(9, 12.5));
    p.drawLine(QPointF(9, 10), QPointF(10.8, 10));
    p.drawLine(QPointF(9, 11.2), QPointF(10.3, 11.2));
}

void drawSettings(QPainter& p)
{
    // A gear.
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(150, 150, 160));
    QPainterPath gear;
    const QPointF c(8, 8);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45.0);
        p.drawRect(QRectF(-1.5, -7.5, 3, 3));
        p.restore();
    }
    p.drawEllipse(c, 5, 5);
    p.setBrush(kPaper);
    p.drawEllipse(c, 2, 2);
}

void drawAbout(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(kBlue);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(kPaper, 1.8, Qt::SolidLine, Qt::RoundCap));
    QPainterPath q;
    q.moveTo(5.8, 6.2);
    q.cubicTo(5.8, 3.6, 10.4, 3.6, 10.2, 6.2);
    q.cubicTo(10.0, 8.0, 8.0, 8.0, 8.0, 9.8);
    p.setBrush(Qt::NoBrush);
    p.drawPath(q);
    p.drawPoint(QPointF(8.0, 12.0));
}

QPixmap drawAt(int commandId, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    switch (commandId) {
    case commandid::EditCustomer: drawEditCustomer(p); break;
    case commandid::ShowData: drawShowData(p); break;
    case commandid::TransferData: drawTransfer(p); break;
    case commandid::TextOut: drawTextOut(p); break;
    case commandid::FilePrint: drawPrint(p); break;
    case commandid::PrintPreview: drawPreview(p); break;
    case commandid::PdfOut: drawPdfOut(p); break;
    case commandid::EnvSettings: drawSettings(p); break;
    case commandid::AppAbout: drawAbout(p); break;
    default: break;
    }
    return pm;
}

} // namespace

namespace ui {

QIcon drawnToolIcon(int commandId)
{
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(drawAt(commandId, size));
    return icon;
}

QIcon toolIcon(int commandId)
{
    if (themeComplete()) {
        for (const auto& t : kThemeNames) {
            if (t.id == commandId)
                return QIcon::fromTheme(QString::fromLatin1(t.name));
        }
    }
    return drawnToolIcon(commandId);
}

} // namespace ui
