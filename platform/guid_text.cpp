#include <cstdio>

#include "platform/com_server.h"

std::string GuidToRegistryString(const GUID& guid) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
}  // namespace

bool GuidFromRegistryString(std::string_view text, GUID& guid) {
    static constexpr char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != sizeof kShape - 1) {
        return false;
    }
    unsigned char bytes[16];
    int nibble = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (kShape[i] != 'X') {
            if (text[i] != kShape[i]) {
                return false;
            }
            continue;
        }
        const int value = HexValue(text[i]);
        if (value < 0) {
            return false;
        }
        if (nibble % 2 == 0) {
            bytes[nibble / 2] = static_cast<unsigned char>(value << 4);
        } else {
            bytes[nibble / 2] |= static_cast<unsigned char>(value);
        }
        ++nibble;
    }
    guid.Data1 = (static_cast<std::uint32_t>(bytes[0]) << 24) | (bytes[1] << 16) | (bytes[2] << 8) |
                 bytes[3];
    guid.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) {
        guid.Data4[i] = bytes[8 + i];
    }
    return true;
}
