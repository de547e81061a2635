#include "base/escape.h"

#include <cstdint>

namespace kvtapp {
namespace {

uint8_t byteAt(const std::string& s, size_t i) {
    return static_cast<uint8_t>(s[i]);
}

// The length of the well-formed UTF-8 sequence at s[i], or 0 when the bytes there are not
// one (a stray continuation byte, an overlong form, a surrogate, a sequence cut short).
size_t sequenceLength(const std::string& s, size_t i) {
    const uint8_t lead = byteAt(s, i);
    if (lead < 0x80) return 1;
    size_t n = 0;
    uint8_t low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size() || byteAt(s, i + 1) < low || byteAt(s, i + 1) > high) return 0;
    for (size_t k = 2; k < n; ++k) {
        if ((byteAt(s, i + k) & 0xC0) != 0x80) return 0;
    }
    return n;
}

void appendEscape(std::string& out, uint8_t value) {
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[value >> 4];
    out += digits[value & 15];
}

// "-0.5", "12", "1.5e-07": a cell that a spreadsheet reads as that number.
bool plainNumber(const std::string& t) {
    size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
    size_t digits = 0;
    for (bool point = false; i < t.size(); ++i) {
        if (t[i] >= '0' && t[i] <= '9') {
            ++digits;
        } else if (t[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        i += i + 1 < t.size() && (t[i + 1] == '-' || t[i + 1] == '+') ? 2 : 1;
        const size_t exponent = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i;
        if (i == exponent) return false;
    }
    return i == t.size();
}

}  // namespace

std::string visibleText(const std::string& text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t n = sequenceLength(text, i);
        const uint8_t lead = byteAt(text, i);
        if (n == 0) {
            appendEscape(out, lead);
            i += 1;
            continue;
        }
        const bool c0 =
            n == 1 && (lead < 0x20 || lead == 0x7F) && !(keepLineBreaks && lead == '\n');
        const bool c1 = n == 2 && lead == 0xC2 && byteAt(text, i + 1) < 0xA0;
        if (c0 || c1) {
            appendEscape(out, c1 ? byteAt(text, i + 1) : lead);
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out;
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : visibleText(text)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string csvField(const std::string& text) {
    const bool formula = !text.empty() &&
                         std::string("=+-@\t\r").find(text[0]) != std::string::npos &&
                         !plainNumber(text);
    const std::string cell = visibleText(formula ? "'" + text : text);
    if (cell.find_first_of(",\"") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string csvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields)
        line += (line.empty() ? "" : ",") + csvField(field);
    return line + "\n";
}

}  // namespace kvtapp
