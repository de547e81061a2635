#!/usr/bin/env python3
"""Builds the parts of the kvtlnk reference that Doxygen does not make by itself.

  refgen.py codes HEADER MESSAGES OUT.dox
      The table of result codes: each code's value and name from kvtlnk.h and its text from
      kvtlnk_messages.h, so that the texts keep one source. Fails when the two headers disagree.
  refgen.py man XMLDIR OUTDIR VERSION
      One manual page (section 3) per call from Doxygen's XML output, and kvtlnk.3 with the
      groups, their calls and the result codes, and the compatibility notes.
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET


def result_codes(header, messages):
    """[(value, name, meaning, text)] in the order of the header."""
    defines = re.findall(r"#define (KVTLNK_[A-Z0-9_]+) (\d+)u\s*/\*\*<\s*(.*?)\s*\*/",
                         pathlib.Path(header).read_text())
    cases = re.findall(r"case (KVTLNK_[A-Z0-9_]+):\s*return ((?:\s*\"(?:[^\"\\]|\\.)*\")+);",
                       pathlib.Path(messages).read_text())
    texts = {name: "".join(re.findall(r"\"((?:[^\"\\]|\\.)*)\"", body)) for name, body in cases}
    names = [name for name, _, _ in defines]
    if not defines or sorted(names) != sorted(texts):
        sys.exit("refgen: result codes of the header and texts of kvtlnkMessage differ: %s" %
                 sorted(set(names) ^ set(texts)))
    return [(int(value), name, meaning, texts[name]) for name, value, meaning in defines]


def write_codes(header, messages, out):
    rows = ["| %d | %s | %s | %s |" % (v, n, m, t.replace("|", "\\|"))
            for v, n, m, t in result_codes(header, messages)]
    lines = ["@addtogroup codes", "", "| Code | Name | Meaning | Text of kvtlnkMessage() |",
             "|---:|---|---|---|"] + rows
    pathlib.Path(out).write_text("/**\n" + "".join(" * %s\n" % l for l in lines) + " */\n")


# The groups in the order of the reference; each has a file group__NAME.xml.
GROUPS = ["session", "build", "read", "results", "setup", "readings", "logs", "extension",
          "codes"]
# The header of each group's calls, when it is not kvtlnk.h.
HEADERS = {"extension": "kvtlnk_ext.h"}


def esc(text):
    """Text for roff: backslashes doubled, dashes and quotes kept literal."""
    return text.replace("\\", "\\e").replace("-", "\\-")


def inline(node):
    """The text of an element with its markup dropped, links and code kept as words."""
    out = [node.text or ""]
    for child in node:
        if child.tag == "ref":
            out.append("\\fB" + esc("".join(child.itertext())) + "\\fR")
        elif child.tag == "computeroutput":
            out.append("\\fI" + esc("".join(child.itertext())) + "\\fR")
        elif child.tag in ("linebreak",):
            out.append("\n.br\n")
        else:
            out.append(inline(child))
        out.append(esc(child.tail or ""))
    out[0] = esc(out[0])
    return "".join(out)


def code_text(node):
    """The text of a code line; Doxygen writes each space as an element of its own."""
    out = [node.text or ""]
    for child in node:
        out += [" " if child.tag == "sp" else code_text(child), child.tail or ""]
    return "".join(out)


def blocks(node, sections):
    """roff for the paragraphs of a description; parameters, return and see-also go into
    sections (a dict) instead."""
    out = []
    for para in node.findall("para"):
        text = [esc(para.text or "")]
        for child in para:
            tag = child.tag
            if tag == "parameterlist":
                for item in child.findall("parameteritem"):
                    name = item.find("parameternamelist/parametername")
                    direction = name.get("direction", "")
                    desc = blocks(item.find("parameterdescription"), sections)
                    sections.setdefault("PARAMETERS", []).append(
                        ".TP\n.B %s\n%s%s" % (esc(name.text), "(%s) " % direction if direction
                                              else "", desc.lstrip(".PP\n")))
            elif tag == "simplesect" and child.get("kind") in ("return", "see"):
                key = "RETURN VALUE" if child.get("kind") == "return" else "SEE ALSO"
                sections.setdefault(key, []).append(blocks(child, sections))
            elif tag == "simplesect" and child.get("kind") in ("attention", "warning", "note",
                                                                "par"):
                # What a caller must not miss stands in a paragraph of its own, marked in bold,
                # and so does a titled paragraph (the time a call may take), under its title.
                title = child.findtext("title") or child.get("kind").capitalize()
                text.append("\n.PP\n\\fB%s:\\fR %s\n.PP\n" % (
                    esc(title), blocks(child, sections).lstrip(".PP\n")))
            elif tag in ("itemizedlist", "orderedlist"):
                for n, item in enumerate(child.findall("listitem"), 1):
                    mark = "%d." % n if tag == "orderedlist" else "\\(bu"
                    text.append("\n.IP %s 4\n%s" % (mark, blocks(item, sections).lstrip(".PP\n")))
                text.append("\n.PP\n")
            elif tag == "programlisting":
                code = "\n".join(code_text(line) for line in child.iter("codeline"))
                text.append("\n.PP\n.nf\n.RS 4\n%s\n.RE\n.fi\n.PP\n" % esc(code))
            elif tag == "table":
                for row in child.findall("row"):
                    entries = row.findall("entry")
                    if not entries or entries[0].get("thead") == "yes":
                        continue
                    cells = [inline(e.find("para")).strip() if e.find("para") is not None
                             else "" for e in entries]
                    text.append("\n.TP\n\\fB%s\\fR\n.br\n%s" % ("  ".join(cells[:2]),
                                                                "\n.br\n".join(cells[2:])))
                text.append("\n.PP\n")
            elif tag == "ref":
                text.append("\\fB" + esc("".join(child.itertext())) + "\\fR")
            elif tag == "linebreak":
                text.append("\n.br\n")
            else:
                text.append(inline(child))
            text.append(esc(child.tail or ""))
        body = "".join(text).strip()
        body = re.sub(r"\n\s*\n", "\n", body)
        if body:
            out.append(".PP\n" + re.sub(r"^ +", "", body, flags=re.M))
    return "\n".join(out)


def first_sentence(roff):
    plain = re.sub(r"\\f[BIR]|^\.\S+.*$", "", roff, flags=re.M).replace("\n", " ").strip()
    match = re.match(r"(.+?[.:])(\s|$)", plain)
    return (match.group(1) if match else plain).rstrip(".:")


def page(name, section_title, version, sections):
    head = ['.TH "%s" 3 "" "kvtlnk %s" "kvtlnk"' % (name, version)]
    for title, body in sections:
        if body:
            head += [".SH " + title, body]
    return "\n".join(head) + "\n"


def write_man(xmldir, outdir, version):
    out = pathlib.Path(outdir, "man3")
    out.mkdir(parents=True, exist_ok=True)
    overview = []
    for group_name in GROUPS:
        path = pathlib.Path(xmldir, "group__%s.xml" % group_name)
        group = ET.parse(path).getroot().find("compounddef")
        title = group.findtext("title")
        calls = []
        for member in group.iter("memberdef"):
            if member.get("kind") != "function":
                continue
            name = member.findtext("name")
            extra = {}
            desc = blocks(member.find("detaileddescription"), extra)
            brief = blocks(member.find("briefdescription"), extra)
            desc = (brief + "\n" + desc).strip()
            signature = "%s %s%s;" % (member.findtext("type"), name, member.findtext("argsstring"))
            see = ", ".join(r + "(3)" for r in re.findall(r"\\fB(\w+)\\fR",
                                                          "".join(extra.get("SEE ALSO", []))))
            sections = [
                ("NAME", "%s \\- %s" % (name, first_sentence(desc))),
                ("SYNOPSIS", ".nf\n.B #include <kvtlnk/%s>\n.PP\n%s\n.fi" %
                 (HEADERS.get(group_name, "kvtlnk.h"), esc(signature))),
                ("DESCRIPTION", desc),
                ("PARAMETERS", "\n".join(extra.get("PARAMETERS", []))),
                ("RETURN VALUE", "\n".join(extra.get("RETURN VALUE", []))),
                ("SEE ALSO", see + (", " if see else "") + "kvtlnk(3)"),
            ]
            (out / (name + ".3")).write_text(page(name, title, version, sections))
            calls.append(name)
        intro = blocks(group.find("detaileddescription"), {})
        if calls:
            intro += "\n.PP\nCalls: " + ", ".join("\\fB%s\\fR(3)" % c for c in calls) + "."
        overview.append(".SS %s\n%s" % (esc(title), intro))
    main = ET.parse(pathlib.Path(xmldir, "kvtlnk_8h.xml")).getroot().find("compounddef")
    compat = ET.parse(pathlib.Path(xmldir, "group__compat.xml")).getroot().find("compounddef")
    sections = [("NAME", "kvtlnk \\- support library for the K27 process calibrator"),
                ("SYNOPSIS", ".nf\n.B #include <kvtlnk/kvtlnk.h>\n"
                             ".B #include <kvtlnk/kvtlnk_messages.h>\n"
                             ".B #include <kvtlnk/kvtlnk_ext.h>\n.fi"),
                ("DESCRIPTION", blocks(main.find("detaileddescription"), {})),
                ("CALLS", "\n".join(overview)),
                ("COMPATIBILITY NOTES", blocks(compat.find("detaileddescription"), {}))]
    (out / "kvtlnk.3").write_text(page("kvtlnk", "kvtlnk", version, sections))


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "codes":
        write_codes(*sys.argv[2:])
    elif len(sys.argv) == 5 and sys.argv[1] == "man":
        write_man(*sys.argv[2:])
    else:
        sys.exit(__doc__)
