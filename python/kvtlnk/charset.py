"""The calibrator's character set.

Texts travel to and from the calibrator as 8-bit strings: Latin-1 (so 0xB0 is the degree sign)
except for the display's own glyphs, which this module maps to their Unicode characters:

======  ======  =====================
byte    char    glyph
======  ======  =====================
0x80    U+2009  narrow space
0x81    Ω       ohm sign (U+2126 is taken too)
0x88    U+2008  space of a digit's width
0x89    ₂       subscript two ("inH₂O")
0x8C    ↑       up arrow (strategy names)
0x8D    ↓       down arrow
======  ======  =====================
"""

GLYPHS = {0x80: "\u2009", 0x81: "\u03a9", 0x88: "\u2008", 0x89: "\u2082", 0x8C: "\u2191",
          0x8D: "\u2193"}
_BYTES = {char: byte for byte, char in GLYPHS.items()}
_BYTES["\u2126"] = 0x81


def decode(data):
    """A text from the calibrator (bytes, up to the first zero byte) as a str."""
    data = bytes(data).split(b"\0", 1)[0]
    return "".join(GLYPHS.get(b, chr(b)) for b in data)


def encode(text):
    """A str as the calibrator's bytes; raises ValueError for a character it cannot show."""
    if isinstance(text, bytes):
        return text
    out = bytearray()
    for char in text:
        byte = _BYTES.get(char, ord(char))
        if byte > 0xFF or (char not in _BYTES and byte in GLYPHS):
            raise ValueError("the calibrator cannot show %r in %r" % (char, text))
        out.append(byte)
    return bytes(out)
