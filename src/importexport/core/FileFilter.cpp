#include "importexport/core/FileFilter.h"

#include <cstdint>

namespace {

void AppendUnit(ByteBuffer& out, uint16_t unit) {
    // The platform reads the list in its own byte order, which is little-endian.
    const uint8_t bytes[2] = {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8)};
    out.Append(bytes, 2);
}

void AppendText(ByteBuffer& out, const CMString& text) {
    for (wchar_t ch : text.view()) {
        auto code = static_cast<uint32_t>(ch);
        if (code == 0) continue;  // an embedded terminator would cut the list
        if (code >= 0x10000 && code <= 0x10FFFF) {
            code -= 0x10000;
            AppendUnit(out, static_cast<uint16_t>(0xD800 + (code >> 10)));
            AppendUnit(out, static_cast<uint16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            AppendUnit(out, static_cast<uint16_t>(code > 0x10FFFF ? 0xFFFD : code));
        }
    }
    AppendUnit(out, 0);
}

}  // namespace

ByteBuffer MakeFilterList(const std::vector<FileFilterText>& pairs) {
    ByteBuffer out;
    for (const auto& pair : pairs) {
        if (pair.pattern.IsEmpty()) continue;
        AppendText(out, pair.description.IsEmpty() ? pair.pattern : pair.description);
        AppendText(out, pair.pattern);
    }
    AppendUnit(out, 0);
    return out;
}
