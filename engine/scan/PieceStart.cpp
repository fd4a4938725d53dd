#include "PieceStart.h"

#include <string_view>

#include "engine/match/LineMatch.h"
#include "engine/read/FileSystem.h"
#include "engine/read/LineReader.h"
#include "engine/read/RangeSource.h"

namespace tallowby {

W3cFields W3cFieldsBeforePiece(const std::string& path, std::uint64_t start) {
    if (start == 0) {
        return {};
    }
    std::string error;
    std::unique_ptr<PositionalFile> file = OpenPositionalFile(path, error);
    if (!file) {
        return {};
    }
    char head[4];
    const std::ptrdiff_t got = file->readAt(head, sizeof head, 0);
    const std::string_view first(head, got > 0 ? static_cast<std::size_t>(got) : 0);
    if (first.substr(0, 1) != "#" && first.substr(0, 4) != "\xEF\xBB\xBF#") {
        return {};
    }
    // The lines before the piece are those of the piece [0, start).
    const std::unique_ptr<ByteSource> before = RangeSource(std::move(file), 0, start);
    LineReader reader(*before);
    W3cFields w3c;
    std::string_view line;
    for (bool firstLine = true; reader.next(line); firstLine = false) {
        if (!line.empty() && (line[0] == '#' || firstLine)) {
            w3c = W3cFieldsAfter(line, w3c, firstLine);
        }
    }
    return w3c;
}

}  // namespace tallowby
