// mxricon: renders the application icon (the design of packaging/mxrview.svg) as PNG files of
// the hicolor sizes, for the package; QtGui only, so no SVG renderer is needed at build time.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: mxricon OUTDIR SIZE...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0)
            return 2;
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 256.0, size / 256.0); // drawn in the 256-unit frame of the SVG
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1f, 0x3b, 0x63));
        p.drawRoundedRect(QRectF(8, 8, 240, 240), 36, 36);
        p.setBrush(QColor(0xf4, 0xf7, 0xfb));
        p.drawRoundedRect(QRectF(36, 44, 184, 140), 10, 10);
        p.setPen(QPen(QColor(0x7a, 0x8a, 0xa0), 4));
        p.drawLine(QPointF(52, 168), QPointF(52, 60));
        p.drawLine(QPointF(52, 168), QPointF(204, 168));
        QPainterPath curve(QPointF(56, 76));
        curve.cubicTo(QPointF(80, 140), QPointF(110, 150), QPointF(200, 146));
        p.setPen(QPen(QColor(0xd2, 0x2f, 0x27), 8, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(curve);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xf2, 0xb7, 0x05));
        p.drawRoundedRect(QRectF(60, 200, 136, 20), 10, 10);
        p.end();
        const QString path = QStringLiteral("%1/mxrview-%2.png").arg(outDir).arg(size);
        if (!image.save(path)) {
            std::fprintf(stderr, "mxricon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
