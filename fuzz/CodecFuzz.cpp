// The text codec: UTF-8 with the Latin-1 fallback, quoted-printable, Base64, and the
// property-line readers over every line of the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/Failure.h"
#include "formats/SyncMLItem.h"
#include "formats/TextCodec.h"
#include "fuzz/FuzzSupport.h"

using namespace orvanta;

namespace {

std::string WithLF(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\r' ? '\n' : text[i];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::AsText(data, size);

    // Well-formed UTF-8 comes back unchanged; anything else is read as Latin-1, one
    // character per byte.
    const WideString wide = FromUTF8(bytes);
    if (IsWellFormedUTF8(bytes)) {
        fuzz::Require(ToUTF8(wide) == bytes, "UTF-8 does not survive FromUTF8/ToUTF8");
    } else {
        fuzz::Require(wide.size() == bytes.size(), "a Latin-1 text lost or gained characters");
    }
    // Any UTF-16 text, unpaired surrogates included, becomes well-formed UTF-8.
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    fuzz::Require(IsWellFormedUTF8(ToUTF8(units)), "ToUTF8 wrote malformed UTF-8");

    // Quoted-printable carries every byte; each line break comes back as LF.
    fuzz::Require(DecodeQP(EncodeQP(bytes)) == WithLF(bytes),
                  "quoted-printable does not round-trip");
    (void)DecodeQP(bytes);
    fuzz::Require(EncodeBase64(bytes).size() == (size + 2) / 3 * 4, "Base64 has the wrong length");

    ItemLines lines = SplitPayloadLines(bytes);
    for (const std::string_view line : lines) {
        (void)GetPropertyName(line);
        (void)GetPropertyParams(line);
        for (const bool escapes : {false, true}) {
            for (int index = -1; index < 3; ++index)
                (void)GetPropertyValue(line, index, escapes);
            (void)UnescapeField(line, escapes);
        }
        try {
            (void)GetDateTimeValue(line);
        } catch (const ConversionError&) {
        }
    }
    // Unfolded lines, written back one per line and unfolded again, stay as they are.
    UnfoldLines(lines);
    std::string written;
    for (const std::string_view line : lines)
        (written += line) += "\r\n";
    ItemLines again = SplitPayloadLines(written);
    UnfoldLines(again);
    fuzz::Require(again == lines, "unfolded lines change once written and read again");
    return 0;
}
