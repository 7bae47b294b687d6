// JsonOut: the small streaming JSON writer the mxrtool commands share.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "model/cp932text.h"

// A small streaming writer: keys in the order of the schema (QJsonObject would sort them) and
// numbers in their shortest exact form.
class JsonOut {
public:
    std::string text;

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
            case '\n': text += "\\n"; break;
            case '\r': text += "\\r"; break;
            case '\t': text += "\\t"; break;
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
    // "key": value followed by ", " (the next newline drops the trailing space).
    void numberField(std::string_view k, double v)
    {
        key(k);
        number(v);
        text += ", ";
    }
    void integerField(std::string_view k, long long v)
    {
        key(k);
        integer(v);
        text += ", ";
    }
    void textField(std::string_view k, const std::string& cp932Text)
    {
        key(k);
        cp932(cp932Text);
        text += ", ";
    }
    void newline(int indent)
    {
        if (!text.empty() && text.back() == ' ')
            text.pop_back();
        text += '\n';
        text.append(static_cast<std::size_t>(indent) * 2, ' ');
    }
};
