// A small handle over libxml2's tree: elements in a namespace, texts and attributes escaped by
// the library, the document as UTF-8 bytes.
#pragma once

#include <libxml/tree.h>

#include <string>

namespace kvtapp::xml {

// Any text made fit for XML 1.0: what is not UTF-8, and the controls XML cannot hold (all
// below U+0020 but tab, line feed and carriage return), become U+FFFD.
std::string xmlText(const std::string& text);

class Element {
  public:
    Element(xmlNodePtr node, xmlNsPtr ns) : node_(node), ns_(ns) {}
    // A child element in this element's namespace, or in ns.
    Element add(const char* name) const { return add(ns_, name); }
    Element add(xmlNsPtr ns, const char* name) const;
    // A child element holding a text.
    Element add(const char* name, const std::string& text) const { return add(ns_, name, text); }
    Element add(xmlNsPtr ns, const char* name, const std::string& text) const;
    const Element& attribute(const char* name, const std::string& value) const;

  private:
    xmlNodePtr node_;
    xmlNsPtr ns_;
};

class Document {
  public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // The root element, in the namespace uri with its prefix.
    Element root(const char* name, const char* uri, const char* prefix);
    // Another namespace declared on the root.
    xmlNsPtr declare(const char* uri, const char* prefix);
    // The document as indented UTF-8 with its XML declaration.
    std::string bytes() const;

  private:
    xmlDocPtr doc_;
};

}  // namespace kvtapp::xml
