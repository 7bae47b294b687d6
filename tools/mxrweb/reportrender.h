// A measurement's report as the web viewer serves it: the screen report as SVG, the printed
// report as PDF and the CSV text output, drawn by the same code as MXRView and mxrtool.
#pragma once

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

#include "model/customerdb.h"
#include "report/pagereport.h"

namespace web {

// The tree path of one record and the tree it was read from.
struct RecordPlace {
    const CCustomer* customer = nullptr;
    const CCable* cable = nullptr;
    const CMeasData* set = nullptr;
    const CMeasRecord* record = nullptr;
    std::size_t index = 0;
};

struct OutputSettings {
    ReportSettings report;
    bool judgments = true;
    PrintOptions print;
    std::string homeOption; // for the CSV labels
};

// Draws reports. Drawing runs one at a time (text layout and the painter's font engine are
// shared), and the most recently used documents are kept by (tree generation, place, kind), up
// to cacheBytes in all, so that repeated requests of one report do not draw it again.
class ReportRenderer {
public:
    explicit ReportRenderer(OutputSettings settings, std::size_t cacheBytes = 256u << 20)
        : m_settings(std::move(settings)), m_capacity(cacheBytes)
    {
    }

    // The screen report at size w×h pixels (1280×960 by default) as an SVG document.
    std::string Svg(const RecordPlace& at, std::uint64_t generation, int w = 1280, int h = 960);
    // Every printed page as a PDF document; empty when it could not be written.
    std::string Pdf(const RecordPlace& at, std::uint64_t generation);
    // The CSV file's bytes (CP932), as mxrtool csv writes them.
    std::string Csv(const RecordPlace& at) const;

private:
    std::string cached(const std::string& key, const std::function<std::string()>& make);

    const OutputSettings m_settings;
    const std::size_t m_capacity; // bytes
    std::size_t m_bytes = 0;      // of the documents in m_lru
    // Serialises drawing.
    std::mutex m_drawMutex;
    // Protects the cache (m_lru, m_index, m_bytes); never held while drawing.
    std::mutex m_mutex;
    std::list<std::pair<std::string, std::string>> m_lru; // newest first
    std::unordered_map<std::string, std::list<std::pair<std::string, std::string>>::iterator>
        m_index;
};

} // namespace web
