#pragma once

#include <string>
#include <string_view>

namespace orvanta {

// Wide text of the typed fields: UTF-16, as the interface toolkit holds it. Characters
// beyond the Basic Multilingual Plane (emoji) are surrogate pairs.
using WideString = std::u16string;

[[nodiscard]] bool IsWellFormedUTF8(std::string_view bytes);
// Property names, parameters and keywords compare in any ASCII letter case: `text` with
// its ASCII letters upper-cased, and whether `text` equals the upper-case word `upper`.
[[nodiscard]] std::string AsciiUpper(std::string_view text);
[[nodiscard]] bool EqualsUpper(std::string_view text, std::string_view upper);

// UTF-8 bytes to wide text. Bytes that are not well-formed UTF-8 are read as Latin-1,
// one character per byte: older phones send vCards in Latin-1, and reading such a
// value as empty text would wipe it on the server at the next edit.
[[nodiscard]] WideString FromUTF8(std::string_view bytes);

// Wide text to UTF-8. An unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string ToUTF8(std::u16string_view text);

// Quoted-printable decoding (RFC 2045): "=XY" is that byte, a trailing "=" is a soft
// line break, blanks at the very end are dropped, everything else stands for itself.
[[nodiscard]] std::string DecodeQP(std::string_view text);
// The same into `out`, which keeps its capacity for the next value.
void DecodeQP(std::string_view text, std::string& out);

// The quoted-printable form the items write: one physical line, every line break of
// the value as "=0A", blanks as "=20", no soft line breaks.
[[nodiscard]] std::string EncodeQP(std::string_view bytes);

// RFC 4648 Base64, standard alphabet, "=" padding, no line breaks.
[[nodiscard]] std::string EncodeBase64(std::string_view bytes);

}  // namespace orvanta
