#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallowby {

class FileSystem;

// A list of referrer-spam hosts. A host matches when it is a listed host or
// a subdomain of one ("www.spam.example" matches "spam.example";
// "notspam.example" does not), ASCII letter case ignored. A lookup hashes the
// host once, right to left, and probes a small table at each label boundary:
// a few probes per referrer however long the list is.
class SpamList {
public:
    // An empty list: matches nothing.
    SpamList();

    // One host per line (LF, CR LF or CR); blanks around a host are ignored,
    // and so are empty lines and lines starting with "#". A line is taken as
    // written, lower-cased, trailing dots dropped.
    static SpamList FromText(std::string_view text);
    // The list built into the program (resources/referrer-spam.hosts).
    static const SpamList& Builtin();
    // Reads the list from `path` through `fs`. On failure returns nullopt
    // and sets `error` to the system's reason. A file with no host in it is
    // a valid, empty list.
    static std::optional<SpamList> Load(FileSystem& fs, const std::string& path,
                                        std::string& error);

    // True when `host` (any letter case) is listed or a subdomain of a
    // listed host. An empty host never matches.
    bool matchesHost(std::string_view host) const;
    // matchesHost of the host a browser opens for `referrer` (BrowserHost).
    bool matchesReferrer(std::string_view referrer) const;

    std::size_t size() const { return hosts_.size(); }

private:
    void add(std::string_view host);
    void buildTable();
    bool listed(std::uint64_t hash, std::string_view host, std::size_t from) const;

    std::vector<std::string> hosts_;  // lower case, distinct
    // Open addressing: the host's hash, and its index + 1 (0 = free).
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t host = 0;
    };
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    // One bit per value of 16 bits of a listed host's hash: a suffix whose
    // bit is clear is not listed, found without leaving the first-level
    // cache (the table is looked at for few suffixes but listed ones).
    std::vector<std::uint64_t> filter_;
    // The same for a quicker hash of the last two labels of every listed
    // host ("spam.example" of "a.spam.example"): a host whose last two
    // labels are not there matches no listed host of two labels or more, so
    // most hosts are settled by one hash of a dozen bytes. Lists with a
    // one-label host skip this test.
    std::vector<std::uint64_t> pairFilter_;
    bool oneLabelHosts_ = false;
};

}  // namespace tallowby
