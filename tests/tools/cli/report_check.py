"""Reads a calibration report as XML and, when given, its screenshot; prints what the test
checks as JSON: per section its SVG plots, shaded tolerance bands and test-point rows, and
for the PNG its size and how many different bytes its pixel data holds (a blank page few)."""
import json
import struct
import sys
import xml.etree.ElementTree as ET
import zlib


def text(element):
    return "".join(element.itertext()).strip()


def sections(root):
    found = []
    for section in root.iter("section"):
        tables = [t for t in section.iter("table") if t.get("class") == "points"]
        rows = [[text(td) for td in tr.findall("td")] for t in tables for tr in t.iter("tr")]
        found.append({
            "svgs": len(list(section.iter("svg"))),
            "bands": len([r for r in section.iter("rect") if r.get("class") == "tolerance-band"]),
            "rows": [r for r in rows if r],
        })
    return found


def png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    width, height = struct.unpack(">II", data[16:24])
    pixels, at = b"", 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            pixels += data[at + 8:at + 8 + length]
        at += length + 12
    return {"width": width, "height": height, "bytes": len(data),
            "distinct": len(set(zlib.decompress(pixels)))}


summary = {"sections": sections(ET.parse(sys.argv[1]).getroot())}
if len(sys.argv) > 2:
    summary["png"] = png(sys.argv[2])
print(json.dumps(summary))
