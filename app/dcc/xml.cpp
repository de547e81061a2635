#include "dcc/xml.h"

#include <new>

namespace kvtapp::xml {

namespace {

const xmlChar* chars(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

const xmlChar* chars(const std::string& text) {
    return chars(text.c_str());
}

xmlNodePtr made(xmlNodePtr node) {
    if (!node) throw std::bad_alloc();
    return node;
}

// The length of the UTF-8 sequence at text[i] that XML 1.0 can hold; 0 when there is none.
size_t xmlCharAt(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80) return b >= 0x20 || b == '\t' || b == '\n' || b == '\r' ? 1 : 0;
    const size_t length = b >= 0xf0 ? 4 : b >= 0xe0 ? 3 : b >= 0xc2 ? 2 : 0;
    if (length == 0 || b > 0xf4 || i + length > text.size()) return 0;
    uint32_t code = b & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
        code = code << 6 | (byte(i + k) & 0x3f);
    }
    const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool fits = code >= least[length] && code <= 0x10ffff &&
                      !(code >= 0xd800 && code <= 0xdfff) && code != 0xfffe && code != 0xffff;
    return fits ? length : 0;
}

}  // namespace

std::string xmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = xmlCharAt(text, i);
        if (length == 0) {
            out += "\xef\xbf\xbd";
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}

Element Element::add(xmlNsPtr ns, const char* name) const {
    return {made(xmlNewChild(node_, ns, chars(name), nullptr)), ns};
}

Element Element::add(xmlNsPtr ns, const char* name, const std::string& text) const {
    // xmlNewTextChild escapes the text; xmlNewChild would take it as markup.
    return {made(xmlNewTextChild(node_, ns, chars(name), chars(xmlText(text)))), ns};
}

const Element& Element::attribute(const char* name, const std::string& value) const {
    if (!xmlNewProp(node_, chars(name), chars(xmlText(value)))) throw std::bad_alloc();
    return *this;
}

Document::Document() : doc_(xmlNewDoc(chars("1.0"))) {
    if (!doc_) throw std::bad_alloc();
}

Document::~Document() {
    xmlFreeDoc(doc_);
}

Element Document::root(const char* name, const char* uri, const char* prefix) {
    xmlNodePtr node = made(xmlNewDocNode(doc_, nullptr, chars(name), nullptr));
    xmlDocSetRootElement(doc_, node);
    xmlNsPtr ns = xmlNewNs(node, chars(uri), chars(prefix));
    if (!ns) throw std::bad_alloc();
    xmlSetNs(node, ns);
    return {node, ns};
}

xmlNsPtr Document::declare(const char* uri, const char* prefix) {
    xmlNsPtr ns = xmlNewNs(xmlDocGetRootElement(doc_), chars(uri), chars(prefix));
    if (!ns) throw std::bad_alloc();
    return ns;
}

std::string Document::bytes() const {
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc_, &memory, &size, "UTF-8", 1);
    if (!memory) throw std::bad_alloc();
    std::string text(reinterpret_cast<const char*>(memory), size_t(size));
    xmlFree(memory);
    return text;
}

}  // namespace kvtapp::xml
