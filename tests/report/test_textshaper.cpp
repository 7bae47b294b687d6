// TextShaper: plain texts measured and drawn from the glyph table come out as Qt's own text
// layout measures and draws them; other texts go through Qt's layout.
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include "report/layoutgrid.h"
#include "report/textshaper.h"

namespace {

QImage blank(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

} // namespace

TEST(TextShaper, PlainTextsMeasureAndDrawAsQtLaysThemOut)
{
    const QString texts[] = {QStringLiteral("01:50.4"),   QStringLiteral("  4.2"),
                             QStringLiteral("XX99:99.9"), QStringLiteral("999999"),
                             QStringLiteral("-0.125"),    QStringLiteral("R(1)+ 100%")};
    const int aligns[] = {Qt::AlignRight | Qt::AlignVCenter, Qt::AlignHCenter | Qt::AlignVCenter,
                          Qt::AlignLeft | Qt::AlignTop};
    for (const QString& face : {report::gothicFace(), report::pGothicFace()}) {
        for (int px : {9, 13, 27}) {
            QImage expected = blank(160, 48);
            QImage actual = blank(160, 48);
            report::TextShaper shaper(&actual);
            const QFont font = shaper.font(face, QFont::Normal, px);
            for (const QString& text : texts) {
                const QSizeF want = QFontMetricsF(font, &expected).size(Qt::TextSingleLine, text);
                EXPECT_EQ(shaper.size(font, Qt::TextSingleLine, text), want)
                    << text.toStdString() << " " << px;
                for (int align : aligns) {
                    const QRectF room(3.3, 2.6, 150.2, 43.1);
                    expected.fill(Qt::white);
                    actual.fill(Qt::white);
                    QPainter pe(&expected);
                    pe.setFont(font);
                    pe.drawText(room, align | Qt::TextSingleLine, text);
                    pe.end();
                    QPainter pa(&actual);
                    pa.setFont(font);
                    shaper.drawLine(pa, room, align, text);
                    pa.end();
                    EXPECT_EQ(actual, expected) << text.toStdString() << " " << px << " " << align;
                }
            }
            // The fixed-pitch face of the number cells takes the table; the proportional one
            // may fall back to Qt's layout, with the same result.
            if (face == report::gothicFace()) {
                EXPECT_EQ(shaper.laidOutTexts(), 0);
            }
        }
    }
}

TEST(TextShaper, OtherTextsGoThroughQtLayout)
{
    QImage expected = blank(200, 40);
    QImage actual = blank(200, 40);
    report::TextShaper shaper(&actual);
    const QFont font = shaper.font(report::gothicFace(), QFont::Normal, 14);
    // Japanese, a trailing space (not part of the natural width) and a line break.
    for (const QString& text :
         {QStringLiteral("最大値(μA)"), QStringLiteral("12.5 "), QStringLiteral("a\nb")}) {
        expected.fill(Qt::white);
        actual.fill(Qt::white);
        QPainter pe(&expected);
        pe.setFont(font);
        pe.drawText(QRectF(2, 2, 190, 36), Qt::AlignCenter | Qt::TextSingleLine, text);
        pe.end();
        QPainter pa(&actual);
        pa.setFont(font);
        shaper.drawLine(pa, QRectF(2, 2, 190, 36), Qt::AlignCenter, text);
        pa.end();
        EXPECT_EQ(actual, expected) << text.toStdString();
    }
    EXPECT_EQ(shaper.plainTexts(), 0);
    EXPECT_EQ(shaper.laidOutTexts(), 3);
}
