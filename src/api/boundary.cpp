#include "api/boundary.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace kvtlnk {

namespace {

// The most of a caller's text that a trace line shows.
constexpr size_t kTextShown = 64;

}  // namespace

CallLine::CallLine(const char* name) {
    text_[0] = '\0';
    append("%s", name);
}

void CallLine::append(const char* format, ...) {
    if (used_ + 1 >= sizeof text_) return;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text_ + used_, sizeof text_ - used_, format, args);
    va_end(args);
    if (n > 0) used_ = std::min(used_ + static_cast<size_t>(n), sizeof text_ - 1);
}

void CallLine::separate() {
    append(first_ ? "(" : ", ");
    first_ = false;
}

void CallLine::add(int32_t value) {
    separate();
    append("%d", static_cast<int>(value));
}

void CallLine::add(uint32_t value) {
    separate();
    append("%u", static_cast<unsigned>(value));
}

void CallLine::add(float value) {
    separate();
    append("%g", static_cast<double>(value));
}

void CallLine::add(const void* pointer) {
    separate();
    if (pointer == nullptr) {
        append("NULL");
    } else {
        append("%p", pointer);
    }
}

void CallLine::add(const char* text) {
    separate();
    appendText(text);
}

void CallLine::appendText(const char* text) {
    if (text == nullptr) {
        append("NULL");
        return;
    }
    append("\"");
    size_t i = 0;
    for (; i < kTextShown && text[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            append("%c", c);
        } else {
            append("\\x%02X", c);
        }
    }
    append(text[i] != '\0' ? "\"..." : "\"");
}

void CallLine::close() {
    append(first_ ? "()" : ")");
}

void CallLine::returning(uint32_t result) {
    append(" returning %u", static_cast<unsigned>(result));
}

void CallLine::returning(const char* text) {
    append(" returning ");
    appendText(text);
}

void CallLine::returning() {
    append(" returning");
}

void CallLine::thrown(const char* what) {
    append(": %s", what);
}

void CallTrace::thrown(const char* what) const {
    if (!on_) return;
    CallLine line(name_);
    line.thrown(what);
    write(line);
}

void CallTrace::write(const CallLine& line) const {
    trace_.text("%s\n", line.text());
}

}  // namespace kvtlnk
