#include "SourceLists.h"

#include <re2/re2.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <exception>
#include <numeric>
#include <tuple>

#include "engine/match/TextFold.h"

namespace tallowby {

extern const char* const kBuiltinSearchEngines;
extern const char* const kBuiltinSocials;
extern const char* const kBuiltinAiAssistants;

namespace {

constexpr std::string_view kAny = "{}";

// The second-level labels before a country code that a "{}" ending an
// entry stands for together with it ("co.uk").
bool IsCountrySecondLevel(std::string_view label) {
    for (const std::string_view known : {"com", "org", "net", "co", "it", "edu"}) {
        if (label == known) {
            return true;
        }
    }
    return false;
}

// The labels of `host`, left to right (a view into it).
void SplitLabels(std::string_view host, std::vector<std::string_view>& labels) {
    labels.clear();
    if (host.empty()) {
        return;
    }
    for (std::size_t from = 0;;) {
        const std::size_t dot = host.find('.', from);
        labels.push_back(host.substr(from, dot - from));
        if (dot == std::string_view::npos) {
            return;
        }
        from = dot + 1;
    }
}

// Lists a bad file could make endless (aliases repeat a list at no cost in
// bytes): more entries than this are refused.
constexpr std::size_t kMostEntries = std::size_t{1} << 20;

}  // namespace

std::string_view SourceClassName(SourceClass sourceClass) {
    switch (sourceClass) {
        case SourceClass::Search:
            return "search";
        case SourceClass::Social:
            return "social";
        case SourceClass::Ai:
            return "ai";
        case SourceClass::Spam:
            return "spam";
        case SourceClass::Website:
            break;
    }
    return "website";
}

// Reads the three files into the lists; a failure throws ListError.
class SourceLists::Reading {
public:
    explicit Reading(SourceLists& lists) : lists_(lists) {}

    struct ListError {
        std::string text;
    };

    // Per entry read, its place in its file.
    const std::vector<std::uint32_t>& fileOrder() const { return order_; }

    void read(std::string_view file, std::string_view text, SourceClass sourceClass) {
        file_ = file;
        fileOrder_ = 0;
        YAML::Node root;
        try {
            root = YAML::Load(std::string(text));
        } catch (const YAML::Exception& e) {
            fail(e.mark, e.msg);
        }
        if (root.IsNull()) {
            return;  // an empty file lists nothing
        }
        if (!root.IsMap()) {
            fail(root.Mark(), "not a list of sources (each a name followed by its hosts)");
        }
        for (const auto& pair : root) {
            if (!pair.first.IsScalar()) {
                fail(pair.first.Mark(), "a source's name must be text");
            }
            const YAML::Node& value = pair.second;
            if (value.IsNull()) {
                continue;
            }
            if (!value.IsSequence()) {
                fail(value.Mark(), "the source '" + pair.first.Scalar() + "' has no list");
            }
            const auto source = static_cast<std::uint32_t>(lists_.sources_.size());
            lists_.sources_.push_back({pair.first.Scalar(), sourceClass});
            for (const YAML::Node& item : value) {
                if (sourceClass == SourceClass::Search) {
                    readConfig(item, source);
                } else if (item.IsScalar()) {
                    addEntry(item, source, kNoEntry);
                } else {
                    fail(item.Mark(), "a host must be text");
                }
            }
        }
    }

private:
    [[noreturn]] void fail(const YAML::Mark& mark, const std::string& reason) const {
        std::string text(file_);
        if (!mark.is_null()) {
            text += ": line " + std::to_string(mark.line + 1);
        }
        throw ListError{text + ": " + reason};
    }

    // The items of a list of texts (none when it is left out).
    std::vector<std::string> texts(const YAML::Node& node, const char* what) const {
        std::vector<std::string> out;
        if (!node || node.IsNull()) {
            return out;
        }
        if (!node.IsSequence()) {
            fail(node.Mark(), std::string(what) + " must be a list");
        }
        for (const YAML::Node& item : node) {
            if (!item.IsScalar()) {
                fail(item.Mark(), std::string(what) + " must hold texts");
            }
            out.push_back(item.Scalar());
        }
        return out;
    }

    void readConfig(const YAML::Node& item, std::uint32_t source) {
        if (!item.IsMap()) {
            fail(item.Mark(), "a search engine's configuration must have urls and params");
        }
        SearchConfig config;
        for (const std::string& param : texts(item["params"], "params")) {
            KeywordParam p;
            if (param.size() >= 2 && param.front() == '/' && param.back() == '/') {
                RE2::Options options(RE2::Latin1);
                options.set_log_errors(false);
                auto pattern = std::make_shared<RE2>(param.substr(1, param.size() - 2), options);
                if (!pattern->ok()) {
                    fail(item["params"].Mark(),
                         "the pattern " + param + " is no regular expression: " + pattern->error());
                }
                p.pattern = std::move(pattern);
            } else {
                p.name = param;
            }
            config.params.push_back(std::move(p));
        }
        config.charsets = texts(item["charsets"], "charsets");
        const YAML::Node backlink = item["backlink"];
        if (backlink && !backlink.IsNull()) {
            if (!backlink.IsScalar()) {
                fail(backlink.Mark(), "a backlink must be text");
            }
            config.backlink = backlink.Scalar();
        }
        const auto id = static_cast<std::uint32_t>(lists_.configs_.size());
        lists_.configs_.push_back(std::move(config));
        const YAML::Node urls = item["urls"];
        texts(urls, "urls");  // checks the shape
        if (urls && urls.IsSequence()) {
            for (const YAML::Node& url : urls) {
                addEntry(url, source, id);
            }
        }
    }

    void addEntry(const YAML::Node& node, std::uint32_t source, std::uint32_t config) {
        std::string text = node.Scalar();
        for (char& c : text) {
            c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
        }
        Entry entry;
        const std::size_t slash = text.find('/');
        std::string_view host = std::string_view(text).substr(0, slash);
        while (!host.empty() && host.back() == '.') {
            host.remove_suffix(1);
        }
        if (slash != std::string::npos) {
            entry.path = text.substr(slash);
            while (!entry.path.empty() && entry.path.back() == '/') {
                entry.path.pop_back();  // "a.example/b/" is "a.example/b"; "a.example/" has none
            }
        }
        if (host.empty()) {
            return;  // names no host
        }
        std::vector<std::string_view> labels;
        SplitLabels(host, labels);
        entry.labels.assign(labels.begin(), labels.end());
        entry.endsInAny = entry.labels.back() == kAny;
        entry.source = source;
        entry.config = config;
        if (lists_.entries_.size() >= kMostEntries) {
            fail(node.Mark(), "more than " + std::to_string(kMostEntries) + " hosts");
        }
        lists_.entries_.push_back(std::move(entry));
        order_.push_back(fileOrder_++);
    }

    SourceLists& lists_;
    std::string_view file_;
    std::uint32_t fileOrder_ = 0;
    std::vector<std::uint32_t> order_;
};

SourceLists::SourceLists() = default;
SourceLists::~SourceLists() = default;
SourceLists::SourceLists(SourceLists&&) noexcept = default;
SourceLists& SourceLists::operator=(SourceLists&&) noexcept = default;

std::optional<SourceLists> SourceLists::FromYaml(const Texts& texts, std::string& error) {
    SourceLists lists;
    try {
        Reading reading(lists);
        reading.read(kSearchEnginesFile, texts.searchEngines, SourceClass::Search);
        reading.read(kSocialsFile, texts.socials, SourceClass::Social);
        reading.read(kAiAssistantsFile, texts.aiAssistants, SourceClass::Ai);

        lists.rank(reading.fileOrder());
        lists.index();
    } catch (const Reading::ListError& e) {
        error = e.text;
        return std::nullopt;
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
    return lists;
}

void SourceLists::rank(const std::vector<std::uint32_t>& fileOrder) {
    // The ranking: a path, then more labels, then AI over search over
    // social, then the place in the file.
    const auto classRank = [](SourceClass c) {
        return c == SourceClass::Ai ? 0 : c == SourceClass::Search ? 1 : 2;
    };
    const auto key = [&](std::uint32_t id) {
        const Entry& e = entries_[id];
        return std::make_tuple(e.path.empty(), -static_cast<std::ptrdiff_t>(e.labels.size()),
                               classRank(sources_[e.source].sourceClass), fileOrder[id]);
    };
    std::vector<std::uint32_t> ranked(entries_.size());
    std::iota(ranked.begin(), ranked.end(), 0u);
    std::sort(ranked.begin(), ranked.end(),
              [&key](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    for (std::uint32_t place = 0; place < ranked.size(); ++place) {
        entries_[ranked[place]].rank = place;
    }
}

void SourceLists::index() {
    std::unordered_map<std::string, std::size_t> uses;  // entries per label
    for (const Entry& e : entries_) {
        for (const std::string& label : e.labels) {
            ++uses[label];
        }
    }
    for (std::uint32_t id = 0; id < entries_.size(); ++id) {
        const Entry& e = entries_[id];
        std::size_t end = e.labels.size() - (e.endsInAny ? 1 : 0);
        std::size_t begin = end;
        while (begin > 0 && e.labels[begin - 1] != kAny) {
            --begin;
        }
        if (begin == end) {
            unindexed_.push_back(id);
            continue;
        }
        // Its label that fewest entries hold ("google" of
        // "www.google.com", not "www" or "com"), of the longest.
        std::size_t anchor = begin;
        for (std::size_t i = 0; i < e.labels.size(); ++i) {
            const auto fewer = [&](std::size_t a, std::size_t b) {
                const std::size_t ua = uses[e.labels[a]];
                const std::size_t ub = uses[e.labels[b]];
                return ua != ub ? ua < ub : e.labels[a].size() > e.labels[b].size();
            };
            if (e.labels[i] != kAny && fewer(i, anchor)) {
                anchor = i;
            }
        }
        anchors_.insert(e.labels[anchor]);
        std::string ending;
        for (std::size_t i = begin; i < end; ++i) {
            ending += (i > begin ? "." : "") + e.labels[i];
        }
        (e.endsInAny ? byEndingBeforeAny_ : byEnding_)[ending].push_back(id);
    }
}

const SourceLists& SourceLists::Builtin() {
    static const SourceLists lists = [] {
        std::string error;
        std::optional<SourceLists> read =
            FromYaml({kBuiltinSearchEngines, kBuiltinSocials, kBuiltinAiAssistants}, error);
        return read ? std::move(*read) : SourceLists();
    }();
    return lists;
}

bool SourceLists::matches(const Entry& entry, const std::vector<std::string_view>& host) const {
    // The entry's labels (but an ending "{}") against the host's that end
    // `upTo` labels in: each "{}" any one label, the others equal.
    const std::size_t fixed = entry.labels.size() - (entry.endsInAny ? 1 : 0);
    const auto alignedAt = [&](std::size_t upTo) {
        if (fixed > upTo) {
            return false;
        }
        for (std::size_t i = 1; i <= fixed; ++i) {
            const std::string& label = entry.labels[fixed - i];
            const std::string_view against = host[upTo - i];
            if (label == kAny ? against.empty() : label != against) {
                return false;
            }
        }
        return true;
    };
    const std::size_t n = host.size();
    if (!entry.endsInAny) {
        return alignedAt(n);
    }
    if (n >= 1 && !host[n - 1].empty() && alignedAt(n - 1)) {
        return true;
    }
    return n >= 2 && !host[n - 1].empty() && IsCountrySecondLevel(host[n - 2]) && alignedAt(n - 2);
}

void SourceLists::collect(std::uint32_t id, HostCandidates& found) const {
    const Entry& e = entries_[id];
    if (e.path.empty()) {
        if (found.best == kNoEntry || e.rank < entries_[found.best].rank) {
            found.best = id;
        }
    } else if (std::find(found.withPath.begin(), found.withPath.end(), id) ==
               found.withPath.end()) {
        found.withPath.push_back(id);
    }
}

SourceLists::HostCandidates SourceLists::candidatesOf(std::string_view host) const {
    HostCandidates found;
    thread_local std::vector<std::string_view> labels;
    SplitLabels(host, labels);
    const std::size_t n = labels.size();
    bool anchored = false;
    for (std::size_t i = 0; i < n && !anchored; ++i) {
        anchored = anchors_.find(labels[i]) != anchors_.end();
    }
    // The host's endings of whole labels, of its first `upTo` labels.
    const auto lookUp = [&](const Index& index, std::size_t upTo) {
        if (index.empty() || upTo == 0) {
            return;
        }
        const std::size_t end = static_cast<std::size_t>(labels[upTo - 1].data() +
                                                         labels[upTo - 1].size() - host.data());
        for (std::size_t first = upTo; first-- > 0;) {
            const std::size_t begin = static_cast<std::size_t>(labels[first].data() - host.data());
            const auto it = index.find(host.substr(begin, end - begin));
            if (it == index.end()) {
                continue;
            }
            for (const std::uint32_t id : it->second) {
                if (matches(entries_[id], labels)) {
                    collect(id, found);
                }
            }
        }
    };
    if (anchored) {
        lookUp(byEnding_, n);
        lookUp(byEndingBeforeAny_, n >= 1 ? n - 1 : 0);
        if (n >= 2 && IsCountrySecondLevel(labels[n - 2])) {
            lookUp(byEndingBeforeAny_, n - 2);
        }
    }
    for (const std::uint32_t id : unindexed_) {
        if (matches(entries_[id], labels)) {
            collect(id, found);
        }
    }
    std::sort(
        found.withPath.begin(), found.withPath.end(),
        [this](std::uint32_t a, std::uint32_t b) { return entries_[a].rank < entries_[b].rank; });
    return found;
}

SourceLists::Match SourceLists::winner(const HostCandidates& candidates,
                                       std::string_view path) const {
    std::uint32_t id = candidates.best;
    for (const std::uint32_t withPath : candidates.withPath) {
        const std::string& want = entries_[withPath].path;
        if (path.substr(0, want.size()) == want &&
            (path.size() == want.size() || path[want.size()] == '/')) {
            id = withPath;
            break;
        }
    }
    Match match;
    if (id == kNoEntry) {
        return match;
    }
    const Entry& e = entries_[id];
    const Source& source = sources_[e.source];
    match.sourceClass = source.sourceClass;
    match.source = source.name;
    match.sourceId = e.source;
    match.search = e.config == kNoEntry ? nullptr : &configs_[e.config];
    return match;
}

}  // namespace tallowby
