// TextShaper: fonts built once, and plain texts measured and drawn from a glyph table.
#include "report/textshaper.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QRectF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

#include "report/layoutgrid.h"

namespace report {

namespace {

constexpr char16_t kFirstPlain = 0x20; // ' '
constexpr char16_t kLastPlain = 0x7e;  // '~'
constexpr int kPlainCount = kLastPlain - kFirstPlain + 1;

// Every pair of the characters numbers and times are made of, so a face whose fonts kern or
// substitute any of them is found out when the table is built.
QString pairProbe()
{
    const QString chars = QStringLiteral("0123456789:.-+ %()XxA");
    QString s;
    for (QChar a : chars)
        for (QChar b : chars)
            s += a, s += b;
    return s;
}

} // namespace

struct TextShaper::Face {
    QFont font;
    bool tableBuilt = false;
    bool usable = false; // the glyph table reproduces Qt's layout of plain texts
    QRawFont raw;
    double ascent = 0, descent = 0, leading = 0;
    std::array<quint32, kPlainCount> glyph{};
    std::array<double, kPlainCount> advance{};
};

TextShaper::TextShaper(const QPaintDevice* device) : m_device(device), m_dpi(dpiOf(device)) {}

TextShaper::~TextShaper() = default;

std::size_t TextShaper::FaceKeyHash::operator()(const FaceKey& k) const
{
    return qHash(k.face) ^ (std::size_t(k.weight) << 20) ^ std::size_t(k.pixelSize);
}

TextShaper::Face& TextShaper::faceFor(const FaceKey& key, const QFont* font)
{
    if (m_lastFace && key == m_lastKey)
        return *m_lastFace;
    auto it = m_faces.find(key);
    if (it == m_faces.end()) {
        auto f = std::make_unique<Face>();
        f->font = font ? *font : cellFont(key.face, key.weight, key.pixelSize);
        it = m_faces.emplace(key, std::move(f)).first;
    }
    m_lastKey = key;
    m_lastFace = it->second.get();
    return *m_lastFace;
}

QFont TextShaper::font(const QString& face, int weight, int pixelSize)
{
    return faceFor(FaceKey{face, weight, pixelSize}, nullptr).font;
}

TextShaper::Face& TextShaper::faceOf(const QFont& font)
{
    const QStringList families = font.families();
    Face& f = faceFor(FaceKey{families.isEmpty() ? font.family() : families.front(), font.weight(),
                              font.pixelSize()},
                      &font);
    if (f.tableBuilt)
        return f;
    f.tableBuilt = true;
    // The table is used only when it gives what Qt's own layout of the same font on the same
    // device gives: the advances, line metrics and glyph positions of every probed pair.
    const QFontMetricsF fm(f.font, m_device);
    f.raw = QRawFont::fromFont(f.font);
    if (!f.raw.isValid())
        return f;
    f.ascent = fm.ascent();
    f.descent = fm.descent();
    f.leading = fm.leading();
    QString all;
    for (char16_t c = kFirstPlain; c <= kLastPlain; ++c)
        all += QChar(c);
    const QList<quint32> glyphs = f.raw.glyphIndexesForString(all);
    if (glyphs.size() != kPlainCount)
        return f;
    const QList<QPointF> advances = f.raw.advancesForGlyphIndexes(glyphs);
    for (int i = 0; i < kPlainCount; ++i) {
        f.glyph[i] = glyphs[i];
        f.advance[i] = advances[i].x();
    }
    const QString probe = pairProbe();
    QTextLayout layout(probe, f.font, const_cast<QPaintDevice*>(m_device));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e7);
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs.front().glyphIndexes().size() != probe.size() ||
        std::abs(line.ascent() - f.ascent) > 1e-6 || std::abs(line.descent() - f.descent) > 1e-6)
        return f;
    const QList<quint32> laidGlyphs = runs.front().glyphIndexes();
    const QList<QPointF> laidPos = runs.front().positions();
    double x = laidPos.front().x();
    for (qsizetype i = 0; i < probe.size(); ++i) {
        const int k = probe[i].unicode() - kFirstPlain;
        if (f.glyph[k] == 0 || laidGlyphs[i] != f.glyph[k] || std::abs(laidPos[i].x() - x) > 1e-6)
            return f;
        x += f.advance[k];
    }
    f.usable = std::abs(line.naturalTextWidth() - (x - laidPos.front().x())) < 1e-6;
    return f;
}

bool TextShaper::plainRun(Face& f, const QString& text, double* width)
{
    if (!f.usable || text.isEmpty() || text.back() == QLatin1Char(' '))
        return false;
    double w = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < kFirstPlain || u > kLastPlain)
            return false;
        w += f.advance[u - kFirstPlain];
    }
    *width = w;
    return true;
}

QSizeF TextShaper::size(const QFont& font, int flags, const QString& text)
{
    if (flags & Qt::TextSingleLine) {
        Face& f = faceOf(font);
        double w = 0;
        if (plainRun(f, text, &w)) {
            ++m_plain;
            return {w, std::ceil(std::max(0.0, f.leading)) + f.ascent + f.descent};
        }
    }
    ++m_laidOut;
    const QStringList families = font.families();
    const QString key = QStringLiteral("%1|%2|%3|%4|")
                            .arg(families.isEmpty() ? font.family() : families.front())
                            .arg(font.weight())
                            .arg(font.pixelSize())
                            .arg(flags) +
                        text;
    auto it = m_laidOutSizes.find(key);
    if (it == m_laidOutSizes.end())
        it = m_laidOutSizes.emplace(key, QFontMetricsF(font, m_device).size(flags, text)).first;
    return it->second;
}

void TextShaper::drawLine(QPainter& p, const QRectF& room, int align, const QString& text)
{
    Face& f = faceOf(p.font());
    double w = 0;
    if (!plainRun(f, text, &w)) {
        ++m_laidOut;
        p.drawText(room, align | Qt::TextSingleLine, text);
        return;
    }
    ++m_plain;
    // Placed as Qt's single-line text drawing places it: the line box (leading rounded up,
    // then ascent and descent) aligned in the room, glyphs from its baseline.
    const double lineTop = std::ceil(std::max(0.0, f.leading));
    const double height = lineTop + f.ascent + f.descent;
    double xoff = 0, yoff = 0;
    if (align & Qt::AlignRight)
        xoff = room.width() - w;
    else if (align & Qt::AlignHCenter)
        xoff = (room.width() - w) / 2;
    if (align & Qt::AlignBottom)
        yoff = room.height() - height;
    else if (align & Qt::AlignVCenter)
        yoff = (room.height() - height) / 2;
    const QPointF origin(room.x() + xoff, room.y() + yoff + lineTop + f.ascent);
    Pending one;
    Pending* target = &one;
    if (m_batching) {
        const QRgb colour = p.pen().color().rgba();
        auto it = std::find_if(m_pending.begin(), m_pending.end(), [&](const Pending& q) {
            return q.face == &f && q.colour == colour;
        });
        if (it == m_pending.end()) {
            m_pending.push_back(Pending{&f, colour, {}, {}});
            it = m_pending.end() - 1;
        }
        target = &*it;
    } else {
        one.glyphs.reserve(text.size());
        one.positions.reserve(text.size());
    }
    double x = origin.x();
    for (QChar c : text) {
        const int k = c.unicode() - kFirstPlain;
        // A space only moves the pen: leaving its (empty) glyph out changes no pixel and
        // keeps right-aligned numbers' padding out of the output.
        if (c != QLatin1Char(' ')) {
            target->glyphs.push_back(f.glyph[k]);
            target->positions.push_back(QPointF(x, origin.y()));
        }
        x += f.advance[k];
    }
    if (target == &one && !one.glyphs.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(f.raw);
        run.setGlyphIndexes(one.glyphs);
        run.setPositions(one.positions);
        p.drawGlyphRun(QPointF(0, 0), run);
    }
}

void TextShaper::beginBatch()
{
    m_batching = true;
}

void TextShaper::flush(QPainter& p)
{
    m_batching = false;
    if (m_pending.empty())
        return;
    const QPen pen = p.pen();
    for (const Pending& q : m_pending) {
        p.setPen(QColor::fromRgba(q.colour));
        QGlyphRun run;
        run.setRawFont(q.face->raw);
        run.setGlyphIndexes(q.glyphs);
        run.setPositions(q.positions);
        p.drawGlyphRun(QPointF(0, 0), run);
    }
    m_pending.clear();
    p.setPen(pen);
}

int TextShaper::rememberedFit(const QString& key) const
{
    const auto it = m_fits.find(key);
    return it == m_fits.end() ? 0 : it->second;
}

void TextShaper::rememberFit(const QString& key, int height)
{
    m_fits[key] = height;
}

} // namespace report
