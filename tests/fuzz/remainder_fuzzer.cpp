// The type code of a line's remainder on lines built to be hostile: long runs
// of a short unit (many schemes in a row, a referrer that nearly recurs), so
// the search for the referrer's recurrences meets its worst cases. Checks the
// code against the remainder built by plain deletion (short lines) and the
// work done against a fixed bound per byte of the line, never wall time.
//
// Input: two bytes per run count, a flags byte, then three pieces: the unit
// repeated before the separator, the separator, the unit repeated after it.

#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "ReferenceRules.h"
#include "engine/match/Rules.h"

namespace {

using namespace tallowby;

using testing::DeleteAll;

std::size_t Count(fuzz::Input& in) {
    const std::size_t high = in.byte();
    return (high << 8 | in.byte()) % 3000;
}

}  // namespace

// Work per byte of the line that the type code may cost, whatever the line.
constexpr std::size_t kStepsPerByte = 8;
constexpr std::size_t kStepsFixed = 256;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::size_t before = Count(in);
    const std::size_t after = Count(in);
    const std::uint8_t flags = in.byte();
    std::string unitBefore(in.piece(12));
    const std::string separator(in.piece(4));
    std::string unitAfter(in.piece(12));
    // Most inputs put a scheme in front of the units: the hostile lines are
    // made of schemes.
    if (flags & 1)
        unitBefore.insert(0, "http://");
    if (flags & 2)
        unitAfter.insert(0, "http://");
    std::string line(in.rest());
    for (std::size_t i = 0; i < before; ++i)
        line += unitBefore;
    line += separator;
    for (std::size_t i = 0; i < after; ++i)
        line += unitAfter;
    if (flags & 4)
        line += unitBefore;  // the referrer nearly recurs at the very end

    Cut cut;
    if (!CutReferrer(line, cut))
        return 0;
    std::string scratch;
    std::size_t steps = 0;
    const TypeCode type = TypeCodeOfRemainder(line, cut, scratch, &steps);
    FUZZ_CHECK(steps <= kStepsPerByte * line.size() + kStepsFixed);
    if (line.size() <= 4096) {
        const std::string referrer = line.substr(cut.position, cut.length);
        FUZZ_CHECK(type == TypeCodeFor(DeleteAll(line, referrer)));
        FUZZ_CHECK(ExtractReferrer(line).remainder == DeleteAll(line, referrer));
    }
    return 0;
}
