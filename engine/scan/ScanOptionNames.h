#pragma once

// Every scan option has three names: the key the window's settings store it
// under, the command line's long flag, and the key a partial result records
// it under. They are spelt here once; the settings, the command line and the
// partial results take them from this table.

#include <string_view>

namespace tallowby {

struct ScanOptionName {
    std::string_view settingsKey;
    std::string_view flag;        // without its "--"
    std::string_view partialKey;  // empty: not recorded in partial results
};

inline constexpr ScanOptionName kOwnDomainOption{"strYourWebsite", "domain", "domain"};
// The flags say the opposite of the settings: "--no-dupes" turns it off.
inline constexpr ScanOptionName kRemoveDupesOption{"bRemoveDupes", "no-dupes", "dupes"};
inline constexpr ScanOptionName kTypeCodesOption{"bGetFileTypes", "no-types", "types"};
inline constexpr ScanOptionName kHttpsOption{"bHttpsReferrers", "https", "https"};
inline constexpr ScanOptionName kQuotedOption{"bQuotedReferrers", "quoted", "quoted"};
// A partial records the list used under "spam": its file, or "built-in".
inline constexpr ScanOptionName kHideSpamOption{"bHideSpam", "hide-spam", "spam"};
inline constexpr ScanOptionName kSpamListOption{"strSpamList", "spam-list", "spam"};
// Reading the referrer field of known log layouts; a partial records it
// only when on, so partials made without it read as before.
inline constexpr ScanOptionName kFieldsOption{"bReferrerField", "fields", "fields"};
// Leaving out crawlers' lines (with the referrer field only). A partial
// records the list used under "no-crawlers": its file, or "built-in".
inline constexpr ScanOptionName kNoCrawlersOption{"bNoCrawlers", "no-crawlers", "no-crawlers"};
inline constexpr ScanOptionName kCrawlerListOption{"strCrawlerList", "crawlers", "no-crawlers"};
// The lists of sources (search engines, social networks, AI assistants)
// change what a scan's rows are grouped into, not what it finds: a partial
// does not record them, and a merge groups by the lists it is given.
inline constexpr ScanOptionName kSourceListsOption{"strSourceLists", "sources", ""};

}  // namespace tallowby
