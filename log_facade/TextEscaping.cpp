#include "log_facade/TextEscaping.hpp"

#include <cstdio>

namespace vorla::logging {

namespace {

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

void appendControlEscape(std::string& out, unsigned char c) {
    switch (c) {
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\0':
        out += "\\0";
        return;
    default: {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u{%X}", static_cast<unsigned>(c));
        out += escape;
    }
    }
}

} // namespace

void appendEscaped(std::string& out, std::string_view text, std::string_view alsoEscaped) {
    out.reserve(out.size() + text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isControl(byte)) {
            appendControlEscape(out, byte);
            continue;
        }
        if (alsoEscaped.find(c) != std::string_view::npos) {
            out += '\\';
        }
        out += c;
    }
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    appendEscaped(out, text, "\"\\");
    out += '"';
    return out;
}

} // namespace vorla::logging
