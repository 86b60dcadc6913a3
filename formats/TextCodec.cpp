#include "formats/TextCodec.h"

namespace orvanta {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
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

}  // namespace

bool IsWellFormedUTF8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = SequenceLength(bytes, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

WideString FromUTF8(std::string_view bytes) {
    WideString out;
    out.reserve(bytes.size());
    if (!IsWellFormedUTF8(bytes)) {
        for (const char c : bytes)
            out += static_cast<char16_t>(static_cast<unsigned char>(c));
        return out;
    }
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = SequenceLength(bytes, i);
        const auto b = [&](std::size_t k) {
            return static_cast<char32_t>(static_cast<unsigned char>(bytes[i + k]));
        };
        char32_t cp;
        switch (n) {
            case 1:
                cp = b(0);
                break;
            case 2:
                cp = ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
                break;
            case 3:
                cp = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
                break;
            default:
                cp = ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) |
                     (b(3) & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += n;
    }
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
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    std::string out;
    out.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        const char c = text[i];
        if (c != '=') {
            out += c;
            continue;
        }
        const int hi = i + 1 < end ? HexValue(text[i + 1]) : -1;
        const int lo = i + 2 < end ? HexValue(text[i + 2]) : -1;
        if (hi >= 0 && lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
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
        out += c;  // a lone "=" stands for itself
    }
    return out;
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
