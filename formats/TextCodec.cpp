#include "formats/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace orvanta {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Text is mostly ASCII: from `i` on, eight bytes at a time while none has its high bit
// set. Returns where that stops: the first word holding a non-ASCII byte, or the last
// bytes too few for a word.
std::size_t SkipAsciiWords(std::string_view bytes, std::size_t i) {
    for (std::uint64_t word; i + 8 <= bytes.size(); i += 8) {
        std::memcpy(&word, bytes.data() + i, 8);
        if ((word & 0x8080808080808080u) != 0) break;
    }
    return i;
}

// Length of the well-formed UTF-8 sequence at s[i] (RFC 3629, no overlongs, no
// surrogates, nothing above U+10FFFF), or 0.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = at(i);
    if (b < 0x80) return 1;
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    if (at(i + 1) < lo || at(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
    }
    return n;
}

void AppendEscaped(std::string& out, unsigned char b) {
    out += '=';
    out += kHex[b >> 4];
    out += kHex[b & 15];
}

void EncodeQPLine(std::string& out, std::string_view line) {
    int count = 0;  // characters written in the current output segment
    for (std::size_t j = 0; j < line.size(); ++j) {
        const auto b = static_cast<unsigned char>(line[j]);
        bool escape;
        if ((b >= 33 && b <= 60) || (b >= 62 && b <= 126)) {
            // A full stop opening a segment is escaped: some transports read a line
            // that starts with "." as the end of the message.
            escape = b == '.' && count == 0;
        } else if (b == '\t') {
            escape = j + 1 == line.size();
        } else {
            escape = true;  // blank, "=", control bytes and bytes 127..255
        }
        if (escape) {
            AppendEscaped(out, b);
            count += 3;
        } else {
            out += static_cast<char>(b);
            count += 1;
        }
        if (count >= 70) count = 0;
    }
}

char UpperOf(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = UpperOf(c);
    return out;
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
    return text.size() == upper.size() &&
           std::equal(text.begin(), text.end(), upper.begin(),
                      [](char c, char u) { return UpperOf(c) == u; });
}

bool IsWellFormedUTF8(std::string_view bytes) {
    std::size_t i = 0;
    while ((i = SkipAsciiWords(bytes, i)) < bytes.size()) {
        const std::size_t n = SequenceLength(bytes, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

WideString FromUTF8(std::string_view bytes) {
    // Most values are ASCII: one code unit per byte, no buffer to fill and cut.
    if (std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(SkipAsciiWords(bytes, 0)),
                    bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return WideString(bytes.begin(), bytes.end());
    }
    // One pass: a UTF-16 text never has more code units than its UTF-8 form has bytes,
    // so the result is written into a buffer of that size and cut to what was written.
    WideString out(bytes.size(), u'\0');
    char16_t* w = out.data();
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        if (s[i] < 0x80) {
            *w++ = s[i++];
            continue;
        }
        const std::size_t n = SequenceLength(bytes, i);
        if (n == 0) {
            // Not UTF-8: the whole value is read as Latin-1.
            for (std::size_t k = 0; k < bytes.size(); ++k)
                out[k] = s[k];
            return out;
        }
        char32_t cp;
        if (n == 2) {
            cp = ((s[i] & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
        } else if (n == 3) {
            cp = ((s[i] & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
        } else {
            cp = ((s[i] & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                 (s[i + 3] & 0x3Fu);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *w++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *w++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *w++ = static_cast<char16_t>(cp);
        }
        i += n;
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    return out;
}

std::string ToUTF8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string DecodeQP(std::string_view text) {
    std::string out;
    DecodeQP(text, out);
    return out;
}

void DecodeQP(std::string_view text, std::string& out) {
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    // The decoded text is never longer than the encoded one.
    out.resize(end);
    char* w = out.data();
    for (std::size_t i = 0; i < end; ++i) {
        const char c = text[i];
        if (c != '=') {
            *w++ = c;
            continue;
        }
        const int hi = i + 1 < end ? HexValue(text[i + 1]) : -1;
        const int lo = i + 2 < end ? HexValue(text[i + 2]) : -1;
        if (hi >= 0 && lo >= 0) {
            *w++ = static_cast<char>(hi * 16 + lo);
            i += 2;
            continue;
        }
        // Soft line break: "=", optional blanks, then the line break or the end.
        std::size_t k = i + 1;
        while (k < end && (text[k] == ' ' || text[k] == '\t'))
            ++k;
        if (k == end) break;
        if (text[k] == '\r' || text[k] == '\n') {
            if (text[k] == '\r' && k + 1 < end && text[k + 1] == '\n') ++k;
            i = k;
            continue;
        }
        *w++ = c;  // a lone "=" stands for itself
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

std::string EncodeQP(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        if (i == bytes.size()) {
            EncodeQPLine(out, bytes.substr(start));
            break;
        }
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            EncodeQPLine(out, bytes.substr(start, i - start));
            out += "=0A";
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    return out;
}

std::string EncodeBase64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace orvanta
