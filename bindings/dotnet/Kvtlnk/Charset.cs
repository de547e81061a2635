using System;
using System.Text;

namespace Kvtlnk
{
    /// <summary>
    /// The calibrator's character set. Texts travel to and from the calibrator as zero-terminated
    /// 8-bit strings: Latin-1 (so 0xB0 is the degree sign) except for the display's own glyphs,
    /// which map to their Unicode characters: Ω, the ₂ of "inH₂O", the ↑ and ↓ of the strategy
    /// names and two narrow spaces.
    /// </summary>
    public static partial class Charset
    {
        /// <summary>A text from the calibrator, up to its first zero byte.</summary>
        /// <param name="bytes">the bytes as a call filled them.</param>
        /// <returns>the text, with the display's glyphs as their characters.</returns>
        public static string Decode(byte[] bytes)
        {
            var text = new StringBuilder();
            foreach (byte b in bytes)
            {
                if (b == 0) break;
                int glyph = Array.IndexOf(GlyphBytes, b);
                text.Append(glyph >= 0 ? GlyphChars[glyph] : (char)b);
            }
            return text.ToString();
        }

        /// <summary>A text as the calibrator's bytes, with the terminating zero.</summary>
        /// <param name="text">the text; any character of Latin-1 or of the display's glyphs.</param>
        /// <returns>the bytes, one a character, and a zero.</returns>
        /// <exception cref="ArgumentException">a character the calibrator cannot show, or a zero
        /// character, which would end the text there.</exception>
        public static byte[] Encode(string text)
        {
            if (text == null) throw new ArgumentNullException(nameof(text));
            var bytes = new byte[text.Length + 1];
            for (int i = 0; i < text.Length; ++i)
            {
                char c = text[i];
                int glyph = Array.IndexOf(GlyphChars, c);
                bool shadowed = glyph < 0 && Array.IndexOf(GlyphBytes, (byte)c) >= 0;
                if (c == '\0' || (glyph < 0 && (c > 0xFF || shadowed)))
                {
                    throw new ArgumentException(
                        string.Format("the calibrator cannot show U+{0:X4} in \"{1}\"", (int)c, text),
                        nameof(text));
                }
                bytes[i] = glyph >= 0 ? GlyphBytes[glyph] : (byte)c;
            }
            return bytes;
        }
    }
}
