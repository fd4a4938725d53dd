#include "PartialBytes.h"

namespace tallowby::testing {

namespace {

void Put(std::string& out, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

}  // namespace

std::string PlainPartialBytes(const PlainPartial& partial) {
    std::string out = "TLBYPART";
    Put(out, 1, 4);
    Put(out, partial.flags, 4);
    for (const std::uint64_t counter : partial.counters) {
        Put(out, counter, 8);
    }
    Put(out, partial.options.size(), 4);
    for (const std::string& option : partial.options) {
        Put(out, option.size(), 4);
        out += option;
    }
    Put(out, partial.entries.size(), 8);
    for (const PlainEntry& e : partial.entries) {
        Put(out, e.position, 8);
        Put(out, e.count, 8);
        Put(out, e.type, 1);
        Put(out, e.bot, 1);
        Put(out, e.referrer.size(), 4);
        out += e.referrer;
    }
    Put(out, PlainCrc32(out), 4);
    return out + "TLBYEND\n";
}

std::uint32_t PlainCrc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
    }
    return ~crc;
}

std::string Resealed(std::string bytes) {
    const std::uint32_t crc = PlainCrc32(std::string_view(bytes).substr(0, bytes.size() - 12));
    for (int i = 0; i < 4; ++i) {
        bytes[bytes.size() - 12 + i] = static_cast<char>((crc >> (8 * i)) & 0xff);
    }
    return bytes;
}

}  // namespace tallowby::testing
