// TextShaper: the report's fonts built once per face, weight and size, and its short plain
// texts (numbers, times, ASCII labels) measured and drawn from per-character glyphs instead of
// being laid out anew in every cell. Other texts go through Qt's text layout as before.
#pragma once

#include <QFont>
#include <QList>
#include <QRgb>
#include <QPointF>
#include <QPaintDevice>
#include <QRawFont>
#include <QSize>
#include <QString>

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

class QPainter;
class QRectF;
class QSizeF;

namespace report {

class TextShaper {
public:
    // Fonts are measured on this device (nullptr: the screen's defaults).
    explicit TextShaper(const QPaintDevice* device = nullptr);
    ~TextShaper();
    // True when this shaper's fonts and glyphs hold for the device: the same device at the same
    // resolution (another device at the same address, or a new resolution, needs a new one).
    bool serves(const QPaintDevice* device) const
    {
        return device == m_device && dpiOf(device) == m_dpi;
    }
    TextShaper(const TextShaper&) = delete;
    TextShaper& operator=(const TextShaper&) = delete;

    // The font of a face (with its fallback family), weight and pixel size, built once.
    QFont font(const QString& face, int weight, int pixelSize);

    // The size QFontMetricsF(font, device).size(flags, text) gives, from the glyph table when
    // the text is plain and single-line.
    QSizeF size(const QFont& font, int flags, const QString& text);

    // Draws one line of text in the painter's font as QPainter::drawText(room, align |
    // Qt::TextSingleLine, text) does, through a glyph run when the text is plain.
    void drawLine(QPainter& p, const QRectF& room, int align, const QString& text);

    // Between beginBatch() and flush(), drawLine() collects plain texts and flush() draws them
    // as one glyph run per font and colour: one text object for a whole table instead of one
    // per cell (in a PDF each is a text block with its own state). Texts that are not plain
    // are drawn at once. The painter must be the same for the whole batch.
    void beginBatch();
    void flush(QPainter& p);

    // A fitted height remembered for a key (the fit search gives the same answer for the same
    // text, style and room on every page).
    int rememberedFit(const QString& key) const;
    void rememberFit(const QString& key, int height);

    // Texts measured or drawn from the glyph table, and those laid out by Qt (tests).
    long long plainTexts() const { return m_plain; }
    long long laidOutTexts() const { return m_laidOut; }

private:
    struct Face;
    Face& faceOf(const QFont& font);
    // The glyphs and pen advances of a plain text, or false when it is not plain in this face.
    bool plainRun(Face& f, const QString& text, double* width);

    struct FaceKey {
        QString face;
        int weight = 0;
        int pixelSize = 0;
        bool operator==(const FaceKey&) const = default;
    };
    struct FaceKeyHash {
        std::size_t operator()(const FaceKey& k) const;
    };
    Face& faceFor(const FaceKey& key, const QFont* font);

    struct Pending {
        Face* face = nullptr;
        QRgb colour = 0;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };

    static QSize dpiOf(const QPaintDevice* device)
    {
        return device ? QSize(device->logicalDpiX(), device->logicalDpiY()) : QSize();
    }

    const QPaintDevice* m_device;
    QSize m_dpi;
    bool m_batching = false;
    std::vector<Pending> m_pending;
    std::unordered_map<FaceKey, std::unique_ptr<Face>, FaceKeyHash> m_faces;
    Face* m_lastFace = nullptr; // consecutive cells mostly share one font
    FaceKey m_lastKey;
    std::unordered_map<QString, int> m_fits;
    // Sizes of texts that Qt lays out (labels, headers with line breaks), by face and flags.
    std::unordered_map<QString, QSizeF> m_laidOutSizes;
    long long m_plain = 0;
    long long m_laidOut = 0;
};

} // namespace report
