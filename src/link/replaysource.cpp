// Reading a replay file line by line into blocks.
#include "link/replaysource.h"

#include "link/replaynotes.h"

ReplaySource::~ReplaySource()
{
    close();
}

void ReplaySource::attach(std::FILE* file)
{
    close();
    m_file = file;
}

void ReplaySource::attachText(std::string text)
{
    close();
    m_text = std::move(text);
    m_useText = true;
}

void ReplaySource::close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_useText = false;
    m_text.clear();
    m_pos = 0;
    m_atEnd = false;
}

int ReplaySource::nextChar()
{
    if (m_useText)
        return m_pos < m_text.size() ? static_cast<unsigned char>(m_text[m_pos++]) : EOF;
    return m_file ? std::getc(m_file) : EOF;
}

void ReplaySource::beginPass()
{
    while (!m_atEnd) {
        m_line.clear();
        bool overlong = false;
        bool any = false;
        int c;
        while ((c = nextChar()) != EOF) {
            any = true;
            if (c == '\n')
                break;
            if (m_line.size() < 2 * kLineBufferSize + 16)
                m_line.push_back(static_cast<char>(c));
            else
                overlong = true; // the rest of the line is consumed but not kept
        }
        if (!any) {
            m_atEnd = true;
        } else {
            const auto blank = [](char ch) {
                return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\f' || ch == '\v';
            };
            std::size_t b = 0, e = m_line.size();
            while (b < e && blank(m_line[b]))
                ++b;
            while (e > b && blank(m_line[e - 1]))
                --e;
            if (e - b > 2 * kLineBufferSize) {
                overlong = true;
                e = b + 2 * kLineBufferSize;
            }
            const std::string_view text = std::string_view(m_line).substr(b, e - b);
            if (!overlong && IsNoteLine(text)) {
                m_notes.emplace_back(text);
                continue;
            }
            m_bytes = bytesFromHex(text);
            if (overlong)
                throwDataError(m_bytes);
            return;
        }
    }
    m_bytes.assign(6, static_cast<char>(0xFF));
}
