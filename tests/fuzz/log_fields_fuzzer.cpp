// The field reader on arbitrary lines: nothing it says may come from
// outside the line (or, for JSON, from outside a string of it), a line of
// no known layout or without a referrer field says nothing, and a second
// reader given the same W3C state says the same.
//
// Input: lines separated by LF, read in order as one file.

#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "engine/match/LogFields.h"

namespace {

using namespace tallowby;

bool Inside(std::string_view part, std::string_view line) {
    return part.empty() ||
           (part.data() >= line.data() && part.data() + part.size() <= line.data() + line.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FieldReader reader;  // kept from input to input, as a thread keeps it
    FieldReader other;
    W3cFields w3c;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        const std::string line(rest.substr(0, end));  // exact size: overreads hit the sanitizer
        rest.remove_prefix(std::min(end + 1, rest.size()));

        W3cFields before = w3c;
        const LineFields f = reader.read(line, w3c);
        FUZZ_CHECK(static_cast<int>(f.layout) < kLogLayoutCount);
        FUZZ_CHECK(f.referrer != "-" && f.userAgent != "-");
        FUZZ_CHECK(f.referrerField || f.referrer.empty());
        switch (f.layout) {
            case LogLayout::Unknown:
            case LogLayout::Directive:
            case LogLayout::Common:
                FUZZ_CHECK(!f.referrerField && f.userAgent.empty());
                break;
            case LogLayout::Json:
                FUZZ_CHECK(line.find('{') != std::string::npos);
                break;
            case LogLayout::W3c:
                FUZZ_CHECK(Inside(f.referrer, line) && Inside(f.userAgent, line));
                break;
            default:  // the combined family: values between quotes
                FUZZ_CHECK(Inside(f.referrer, line) && Inside(f.userAgent, line));
                FUZZ_CHECK(f.referrer.empty() || (f.referrer.data()[-1] == '"' &&
                                                  f.referrer.data()[f.referrer.size()] == '"'));
        }
        if (f.layout != LogLayout::Directive) {
            FUZZ_CHECK(before == w3c);
        }
        const std::string referrer(f.referrer), agent(f.userAgent);
        const LineFields g = other.read(line, before);
        FUZZ_CHECK(g.layout == f.layout && g.referrerField == f.referrerField);
        FUZZ_CHECK(g.referrer == referrer && g.userAgent == agent && before == w3c);
    }
    return 0;
}
