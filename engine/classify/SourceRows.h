#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/classify/SearchKeyword.h"
#include "engine/classify/SourceLists.h"
#include "engine/classify/SpamList.h"

namespace tallowby {

class WorkList;

// What one referrer is, as the lists and the spam list say.
//
// The host is cut as for sites (BrowserHost). A host that the spam list
// holds, or is under a host it holds, is class spam, its source the listed
// host. Otherwise the lists' winning entry for the host and the address's
// path gives the class and the source's name; a host no entry matches is
// class website, its source the host itself.
struct ReferrerSource {
    SourceClass sourceClass = SourceClass::Website;
    std::string_view source;
    std::uint32_t sourceId = SourceLists::kNoSource;  // SourceLists::Match::sourceId
    // For a website or spam: the number of `source` (a host), the same for
    // the same host; the classifier numbers its hosts 0, 1, 2, ...
    std::uint32_t hostId = 0;
    const SearchConfig* search = nullptr;  // for a search engine: where its keywords stand
    std::string_view pathAndQuery;         // for a source of the lists: the address's "/path?query"
                                           // (no fragment)
};

// Classifies referrers one after another, each host looked up once: not
// for use on several threads at once. `lists` and `spam` (null: no spam
// class) must outlive it.
class SourceClassifier {
public:
    SourceClassifier(const SourceLists& lists, const SpamList* spam);
    ~SourceClassifier();
    SourceClassifier(const SourceClassifier&) = delete;
    SourceClassifier& operator=(const SourceClassifier&) = delete;

    // The views of the result stay valid until the next call, and as long
    // as `referrer`, the lists and the spam list.
    ReferrerSource classify(std::string_view referrer);

private:
    struct HostVerdicts;
    const SourceLists& lists_;
    const SpamList* spam_;
    std::unique_ptr<HostVerdicts> hosts_;
    std::string scratch_;
    std::string pathAndQuery_;
};

// One row of the sources view: the referrers of one source.
struct SourceRow {
    SourceClass sourceClass = SourceClass::Website;
    std::string source;
    std::int64_t pages = 0;      // distinct referrers
    std::int64_t clicks = 0;     // their clicks (referring lines)
    std::size_t firstEntry = 0;  // the work-list index of its first referrer
};

// One row of the search keywords view: one keyword of one search engine.
struct KeywordRow {
    std::string engine;  // the search engine's name
    std::string keyword;
    std::int64_t clicks = 0;
    std::size_t firstEntry = 0;            // the work-list index of its first referrer
    const SearchConfig* search = nullptr;  // that referrer's; lives as long as the lists
};

// The referrers of `list` grouped by source (SourceClassifier), one row
// per class and source, in the work-list order of each source's first
// referrer. Pages counts distinct referrers (before a collapse too),
// Clicks the entries' counts (1 per entry before a collapse). Each
// distinct referrer is classified once. Pure: reads the list only, which
// must not change during the call. `spam` null: no spam class (say, when
// the scan hid spam already).
std::vector<SourceRow> GroupBySource(const WorkList& list, const SourceLists& lists,
                                     const SpamList* spam);

// The clicks of one class of sources, with its sources of most clicks.
struct ClassClicks {
    SourceClass sourceClass = SourceClass::Website;
    std::int64_t clicks = 0;     // of all its sources
    std::vector<SourceRow> top;  // most clicks first
};

// One ClassClicks for every class, in SourceClass order (also a class
// without rows, with no clicks), each with its `top` sources of most
// clicks; sources of equal clicks keep their order in `rows`.
std::vector<ClassClicks> ClicksByClass(const std::vector<SourceRow>& rows, std::size_t top);

// The search keywords (KeywordReader) of the search-engine referrers of
// `list`, one row per engine and keyword, in the work-list order of each
// row's first referrer; Clicks as GroupBySource counts them. Referrers
// without a keyword make no row.
std::vector<KeywordRow> GroupByKeyword(const WorkList& list, const SourceLists& lists,
                                       const SpamList* spam);

// The spam list GroupBySource and GroupByKeyword take for the referrers of
// a scan: none when the scan hid spam (no spam referrer is left, and none
// may be made one by another list), else the built-in list.
const SpamList* SpamListForSources(bool spamHidden);

// The address of the search for `row`'s keyword on its engine: its
// configuration's backlink, "{k}" replaced by the keyword percent-encoded,
// after the scheme and host of `firstReferrer` (the row's first referrer);
// that referrer itself when there is no backlink.
std::string KeywordSearchAddress(const KeywordRow& row, std::string_view firstReferrer);

}  // namespace tallowby
