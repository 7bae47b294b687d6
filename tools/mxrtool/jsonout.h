// JsonOut: the small streaming JSON writer the mxrtool commands share.
#pragma once

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "model/cp932text.h"

// A small streaming writer: keys in the order of the schema (QJsonObject would sort them) and
// numbers in their shortest exact form.
class JsonOut {
public:
    std::string text;
    // Control characters in strings as \u00XX throughout (the reception documents' form) rather
    // than \n, \r and \t.
    bool unicodeControlEscapes = false;

    void number(double v)
    {
        if (!std::isfinite(v)) {
            text += std::isnan(v) ? "\"NaN\"" : (v > 0 ? "\"Infinity\"" : "\"-Infinity\"");
            return;
        }
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
        std::string_view s(buf, static_cast<std::size_t>(end - buf));
        text += s;
        if (s.find_first_of(".e") == std::string_view::npos)
            text += ".0"; // keep doubles recognisable: -99999999.0, 0.0
    }
    void integer(long long v) { text += std::to_string(v); }
    void string(std::string_view utf8)
    {
        text += '"';
        for (unsigned char c : utf8) {
            switch (c) {
            case '"': text += "\\\""; break;
            case '\\': text += "\\\\"; break;
            case '\n':
            case '\r':
            case '\t':
                if (!unicodeControlEscapes) {
                    text += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
                    break;
                }
                [[fallthrough]];
            default:
                if (c < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", c);
                    text += esc;
                } else {
                    text += static_cast<char>(c);
                }
            }
        }
        text += '"';
    }
    void cp932(const std::string& s) { string(cp932::toUtf8(s)); }
    void key(std::string_view k)
    {
        string(k);
        text += ": ";
    }
    // How a scope places its elements.
    enum class Layout {
        Inline,  // {"a": 1, "b": 2}: one line
        Lines,   // each element on a line of its own, the closing bracket on the next
        Wrapped, // elements on a new line, joined by ", " until wrap() starts the next line
        Flow,    // as Wrapped, but the first element follows the opening bracket and the closing
                 // one follows the last element: only wrap() breaks the line
    };

    // An open object or array: puts the comma and line break before each element and closes
    // the bracket when it ends. Only the innermost open scope may be written to.
    class Scope {
    public:
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        ~Scope() { close(); }

        // Elements of an object.
        void number(std::string_view k, double v) { key(k).number(v); }
        // Number members in the order given.
        void numbers(std::initializer_list<std::pair<std::string_view, double>> members)
        {
            for (const auto& [k, v] : members)
                number(k, v);
        }
        void integer(std::string_view k, long long v) { key(k).integer(v); }
        void string(std::string_view k, std::string_view utf8) { key(k).string(utf8); }
        void cp932(std::string_view k, const std::string& cp932Text) { key(k).cp932(cp932Text); }
        void boolean(std::string_view k, bool v) { key(k).text += v ? "true" : "false"; }
        void null(std::string_view k) { key(k).text += "null"; }
        Scope object(std::string_view k, Layout l) { return key(k).open('{', '}', l, childIndent()); }
        Scope array(std::string_view k, Layout l) { return key(k).open('[', ']', l, childIndent()); }

        // Elements of an array.
        void number(double v) { next().number(v); }
        void integer(long long v) { next().integer(v); }
        void string(std::string_view utf8) { next().string(utf8); }
        void cp932(const std::string& cp932Text) { next().cp932(cp932Text); }
        void null() { next().text += "null"; }
        Scope object(Layout l) { return next().open('{', '}', l, childIndent()); }
        Scope array(Layout l) { return next().open('[', ']', l, childIndent()); }

        // Wrapped: the next element starts a new line.
        void wrap() { m_wrap = true; }
        // The next element stays on the current line, even as the first of a Wrapped scope.
        void joinLine() { m_join = true; }
        // Ends the scope before its destructor does.
        void close()
        {
            if (m_closed)
                return;
            m_closed = true;
            assert(m_j.m_depth == m_depth);
            --m_j.m_depth;
            if ((m_layout == Layout::Lines || m_layout == Layout::Wrapped) && !m_first)
                m_j.lineBreak(m_indent);
            m_j.text += m_close;
        }

    private:
        friend class JsonOut;
        Scope(JsonOut& j, char close, Layout l, int indent)
            : m_j(j), m_close(close), m_layout(l), m_indent(indent), m_depth(++j.m_depth)
        {
        }
        JsonOut& next()
        {
            assert(!m_closed && m_j.m_depth == m_depth);
            if (!m_first)
                m_j.text += ',';
            const bool lineBreak = !m_join && (m_layout == Layout::Lines ||
                                               (m_layout == Layout::Wrapped && m_first) ||
                                               (m_layout != Layout::Inline && m_wrap));
            if (lineBreak)
                m_j.lineBreak(m_indent + 1);
            else if (!m_first)
                m_j.text += ' ';
            m_first = false;
            m_wrap = false;
            m_join = false;
            return m_j;
        }
        JsonOut& key(std::string_view k)
        {
            next().string(k);
            m_j.text += ": ";
            return m_j;
        }
        // Inline scopes keep their children at their own indent; the others indent them.
        int childIndent() const { return m_layout == Layout::Inline ? m_indent : m_indent + 1; }

        JsonOut& m_j;
        char m_close;
        Layout m_layout;
        int m_indent;
        int m_depth;
        bool m_first = true;
        bool m_wrap = false;
        bool m_join = false;
        bool m_closed = false;
    };

    // A top-level object or array whose closing bracket sits at the given indent.
    Scope object(Layout l, int indent = 0) { return open('{', '}', l, indent); }
    Scope array(Layout l, int indent = 0) { return open('[', ']', l, indent); }

private:
    Scope open(char openBracket, char closeBracket, Layout l, int indent)
    {
        text += openBracket;
        return Scope(*this, closeBracket, l, indent);
    }
    void lineBreak(int indent)
    {
        text += '\n';
        text.append(static_cast<std::size_t>(indent) * 2, ' ');
    }
    int m_depth = 0;
};
