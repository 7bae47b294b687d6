// The report as SVG and PDF, and the CSV, for the web viewer.
#include "reportrender.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "exchange/csvwriter.h"
#include "report/screenreport.h"
#include "reportoutput.h"
#include "webids.h"

namespace web {

namespace {

ReportContent contentOf(const RecordPlace& at, bool judgments)
{
    ReportContent c;
    c.judgments = judgments;
    c.customer = at.customer->name;
    c.cable = at.cable->name;
    c.measData = at.set->name;
    c.record = at.record;
    return c;
}

std::string keyOf(const RecordPlace& at, std::uint64_t generation, const std::string& kind)
{
    return std::to_string(generation) + '/' + NameId(at.customer->name) + '/' +
           NameId(at.cable->name) + '/' + NameId(at.set->name) + '/' + std::to_string(at.index) +
           '/' + kind;
}

} // namespace

std::string ReportRenderer::cached(const std::string& key, const std::function<std::string()>& make)
{
    const auto lookUp = [&](std::string& out) {
        std::lock_guard lock(m_mutex);
        const auto it = m_index.find(key);
        if (it == m_index.end())
            return false;
        m_lru.splice(m_lru.begin(), m_lru, it->second);
        out = it->second->second;
        return true;
    };
    std::string doc;
    if (lookUp(doc))
        return doc;
    // One drawing at a time; requests of drawn documents are not held up meanwhile, and a
    // request that waited for the same document finds it drawn.
    std::lock_guard drawing(m_drawMutex);
    if (lookUp(doc))
        return doc;
    doc = make();
    if (doc.empty())
        return doc;
    std::lock_guard lock(m_mutex);
    m_lru.emplace_front(key, doc);
    m_index[key] = m_lru.begin();
    m_bytes += doc.size();
    while (m_bytes > m_capacity && m_lru.size() > 1) {
        m_bytes -= m_lru.back().second.size();
        m_index.erase(m_lru.back().first);
        m_lru.pop_back();
    }
    return doc;
}

std::string ReportRenderer::Svg(const RecordPlace& at, std::uint64_t generation, int w, int h)
{
    const std::string key =
        keyOf(at, generation, "svg" + std::to_string(w) + 'x' + std::to_string(h));
    return cached(key, [&] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setResolution(96);
        svg.setSize(QSize(w, h));
        svg.setViewBox(QRect(0, 0, w, h));
        svg.setTitle(QStringLiteral("成績表"));
        const ReportScale scale = AutoReportScale(*at.record);
        ScreenReport report(m_settings.report);
        report.fill(contentOf(at, true), 0, scale.widthMin, scale.axis);
        const LayoutContext lc{ReportMapping::forDevice(svg), &svg};
        report.layout(lc.mapping.toLogical(QRectF(0, 0, w, h)), lc);
        {
            QPainter p(&svg);
            p.fillRect(QRect(0, 0, w, h), Qt::white);
            report.draw(p, lc);
        }
        return buffer.data().toStdString();
    });
}

std::string ReportRenderer::Pdf(const RecordPlace& at, std::uint64_t generation)
{
    return cached(keyOf(at, generation, "pdf"), [&] {
        const ReportScale scale = AutoReportScale(*at.record);
        PageReport pages(m_settings.report, contentOf(at, m_settings.judgments), scale.widthMin,
                         scale.axis, m_settings.print);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter pdf(&buffer);
            if (!PrintReportPdf(pdf, pages))
                return std::string();
        }
        return buffer.data().toStdString();
    });
}

std::string ReportRenderer::Csv(const RecordPlace& at) const
{
    const CsvNames names{at.customer->name, at.cable->name, at.set->name};
    return CsvEncode(CsvContent(names, *at.record, ReadCsvLabels(m_settings.homeOption)),
                     CsvEncoding::Cp932);
}

} // namespace web
