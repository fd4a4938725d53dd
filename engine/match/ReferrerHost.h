#pragma once

#include <string>
#include <string_view>

namespace tallowby {

// The host a browser connects to when it opens `referrer`, in lower case:
// the one cut that the spam list and the grouping by site share, so an
// address that opens a host is hidden and grouped as that host, however it
// is written.
//
// After "http://" or "https://" (any letter case) and any further "/" or
// "\" (which browsers skip there), the authority runs to the first "/", "\",
// "?", "#" or the end. A referrer without either scheme is read from after
// its first "://", or from its start when there is none. Either way the
// authority also ends at a space, tab, double or single quote or ")", which
// a referrer cut from a log line may carry after its address. Of the
// authority: what follows its last "@" (user information is not part of
// the host); then up to the first ":" (the port), except that a bracketed
// IPv6 address "[...]" is kept whole with its brackets. "%XX" escapes are
// decoded, unless the decoded host would hold a byte that browsers refuse
// in a host name (a control byte, a space or one of "#%/:<>?@[\]^|") or
// bytes that are not UTF-8: such an address opens nothing and its host is
// kept as written. ASCII letters are
// folded to lower case and trailing dots dropped. May be empty.
//
// Returns a view into `referrer` when the host stands there as it is, else
// into `scratch`, whose text it replaces; the view lasts as long as both.
std::string_view BrowserHost(std::string_view referrer, std::string& scratch);

// BrowserHost as a string of its own.
std::string ReferrerHost(std::string_view referrer);

// What follows the authority that BrowserHost reads the host from: the
// rest of `referrer` from the first "/", "\", "?", "#", space, tab, quote
// or ")" after it; empty when the authority runs to the end.
std::string_view AfterAuthority(std::string_view referrer);

}  // namespace tallowby
