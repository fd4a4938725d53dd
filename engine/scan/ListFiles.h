#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/classify/CrawlerList.h"
#include "engine/classify/SourceLists.h"
#include "engine/classify/SpamList.h"
#include "engine/read/FileSystem.h"
#include "engine/tally/Partial.h"

namespace tallowby {

// The files a scan reads and writes besides its logs: a spam list, a
// crawler list, and the partial results a scan leaves and a merge reads.
// Each goes through the file seam.

// Reads the spam list at `path` through `fs` (SpamList::FromBlocks). On
// failure returns nullopt and sets `error` to the reason. A file with no host
// in it is a valid, empty list.
std::optional<SpamList> LoadSpamList(FileSystem& fs, const std::string& path, std::string& error);

// The largest crawler list read, in bytes: a list is read whole into
// memory, and the one built in is half a megabyte.
inline constexpr std::uint64_t kLargestCrawlerList = std::uint64_t{64} << 20;

// Reads the crawler list at `path` through `fs` (CrawlerList::FromJson). On
// failure returns nullopt and sets `error` to the reason: the file is
// missing, no regular file, unreadable, larger than kLargestCrawlerList, or
// no crawler list.
std::optional<CrawlerList> LoadCrawlerList(FileSystem& fs, const std::string& path,
                                           std::string& error);

// Reads the three lists of sources (SourceLists::kSearchEnginesFile and
// the others) from the folder `dir` through `fs`. On failure returns
// nullopt and sets `error` to the file's name in `dir` and the reason: it
// is missing, cannot be read, is larger than kLargestSourceList or is not
// a list of the lists' shape (SourceLists::FromYaml).
std::optional<SourceLists> LoadSourceLists(FileSystem& fs, const std::string& dir,
                                           std::string& error);
inline constexpr std::uint64_t kLargestSourceList = std::uint64_t{16} << 20;
// The paths of the three files in `dir`, as LoadSourceLists reads them.
std::vector<std::string> SourceListPaths(const std::string& dir);

struct PartialFileResult {
    bool ok = false;
    std::string error;  // the reason; the caller names the path
};

// Writes the partial to `path` through a temporary file renamed over it, so
// a failure leaves an earlier file whole. Never throws.
PartialFileResult WritePartial(FileSystem& fs, const std::string& path,
                               const PartialSummary& summary, const WorkList& list);
// Reads and checks the partial at `path` as DecodePartialAt() does: a file
// of any size that is no partial costs neither time nor memory. Never throws.
PartialFileResult ReadPartial(FileSystem& fs, const std::string& path, Partial& out);

}  // namespace tallowby
