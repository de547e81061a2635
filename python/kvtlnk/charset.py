"""The calibrator's character set.

Texts travel to and from the calibrator as 8-bit strings: Latin-1 (so 0xB0 is the degree sign)
except for the display's own glyphs, which this module maps to their Unicode characters as the
library's header lists them (``KVTLNK_GLYPHS``): Ω, the ₂ of "inH₂O", the ↑ and ↓ of the
strategy names and two narrow spaces.
"""
from ._header import GLYPHS as _ROWS

#: {byte: character} of the display's own glyphs; the first row of a byte is what it reads as.
GLYPHS = {byte: char for byte, char, _ in reversed(_ROWS)}
_BYTES = {char: byte for byte, char, _ in _ROWS}


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
