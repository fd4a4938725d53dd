#include "ReferenceSources.h"

#include <iconv.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <sstream>
#include <tuple>

namespace tallowby::testing {

struct ReferenceSourceLists::Entry {
    std::string sourceClass;
    std::string source;
    std::string path;                      // empty: none
    std::tuple<bool, int, int, int> rank;  // no path, fewer labels, class, place: lower wins
    std::regex host;
    std::string needle;  // its longest label but "{}": a host without it cannot match
    std::vector<std::string> params;
    std::vector<std::string> charsets;
};

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    return text;
}

// "google.{}" as "^(.*\.)?google\.([^.]+|(com|org|net|co|it|edu)\.[^.]+)$".
std::regex HostPattern(const std::string& host) {
    std::string pattern = "^(.*\\.)?";
    for (std::size_t i = 0; i < host.size(); ++i) {
        if (host.compare(i, 2, "{}") == 0) {
            pattern += i + 2 == host.size() ? "([^.]+|(com|org|net|co|it|edu)\\.[^.]+)" : "[^.]+";
            ++i;
        } else {
            if (std::string("\\^$.|?*+()[]{}").find(host[i]) != std::string::npos) {
                pattern += '\\';
            }
            pattern += host[i];
        }
    }
    return std::regex(pattern + "$");
}

bool Convert(const char* charset, const std::string& bytes, std::string& out) {
    iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string in = bytes;
    out.assign(bytes.size() * 4 + 8, '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t left = in.size();
    std::size_t room = out.size();
    const bool ok = iconv(cd, &from, &left, &to, &room) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - room);
    return ok;
}

std::string Keyword(std::string value, const std::vector<std::string>& charsets) {
    std::string bytes;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '+') {
            bytes += ' ';
        } else if (value[i] == '%' && i + 2 < value.size() && std::isxdigit(value[i + 1]) &&
                   std::isxdigit(value[i + 2])) {
            bytes += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += value[i];
        }
    }
    std::string text;
    bool read = Convert("UTF-8", bytes, text);
    for (std::size_t i = 0; !read && i < charsets.size(); ++i) {
        read = Convert(charsets[i].c_str(), bytes, text);
    }
    if (!read) {  // UTF-8 is kept, a byte that starts none becomes U+FFFD
        text.clear();
        for (std::size_t i = 0; i < bytes.size();) {
            const auto lead = static_cast<unsigned char>(bytes[i]);
            const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            std::string sequence;
            if (Convert("UTF-8", bytes.substr(i, length), sequence) && !sequence.empty()) {
                text += sequence;
                i += length;
            } else {
                text += "\xEF\xBF\xBD";
                ++i;
            }
        }
    }
    std::string out;
    for (const char c : text) {
        if (std::string(" \t\n\v\f\r").find(c) == std::string::npos) {
            out += c;
        } else if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
    }
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return Lower(out);
}

}  // namespace

ReferenceSourceLists::ReferenceSourceLists(const std::string& searchEngines,
                                           const std::string& socials,
                                           const std::string& aiAssistants,
                                           std::vector<std::string> spamHosts)
    : spamHosts_(std::move(spamHosts)) {
    const std::tuple<const std::string&, const char*, int> files[] = {
        {searchEngines, "search", 1}, {socials, "social", 2}, {aiAssistants, "ai", 0}};
    for (const auto& [text, sourceClass, classRank] : files) {
        int place = 0;
        for (const auto& source : YAML::Load(text)) {
            for (const YAML::Node& item : source.second) {
                // A search engine's configuration, or a host.
                const YAML::Node urls = item.IsMap() ? item["urls"] : YAML::Node();
                std::vector<std::string> hosts = {item.IsMap() ? "" : item.as<std::string>()};
                if (item.IsMap()) {
                    hosts = urls.as<std::vector<std::string>>();
                }
                for (const std::string& url : hosts) {
                    Entry e;
                    e.sourceClass = sourceClass;
                    e.source = source.first.as<std::string>();
                    const std::string host = Lower(url.substr(0, url.find('/')));
                    if (url.find('/') != std::string::npos) {
                        e.path = url.substr(url.find('/'));
                        e.path.erase(e.path.find_last_not_of('/') + 1);  // "/a/" is the folder "/a"
                    }
                    const int labels =
                        1 + static_cast<int>(std::count(host.begin(), host.end(), '.'));
                    e.rank = {e.path.empty(), -labels, classRank, place++};
                    e.host = HostPattern(host);
                    std::stringstream labelsOf(host);
                    for (std::string label; std::getline(labelsOf, label, '.');) {
                        if (label != "{}" && label.size() > e.needle.size()) {
                            e.needle = label;
                        }
                    }
                    hosts_.push_back(url);
                    if (item.IsMap() && item["params"]) {
                        e.params = item["params"].as<std::vector<std::string>>();
                        for (const std::string& param : e.params) {
                            if (!param.empty() && param.front() != '/' &&
                                std::find(paramNames_.begin(), paramNames_.end(), param) ==
                                    paramNames_.end()) {
                                paramNames_.push_back(param);
                            }
                        }
                    }
                    if (item.IsMap() && item["charsets"]) {
                        e.charsets = item["charsets"].as<std::vector<std::string>>();
                    }
                    entries_.push_back(std::move(e));
                }
            }
        }
    }
}

ReferenceSourceLists::~ReferenceSourceLists() = default;

ReferenceSource ReferenceSourceLists::sourceOf(const std::string& referrer) const {
    const std::size_t start = referrer.find("://") + 3;
    const std::size_t end = std::min(referrer.find_first_of("/?", start), referrer.size());
    std::string host = Lower(referrer.substr(start, end - start));
    host = host.substr(0, host.find(':'));
    while (!host.empty() && host.back() == '.') {
        host.pop_back();
    }
    std::string pathAndQuery = referrer.substr(end);
    if (pathAndQuery.empty() || pathAndQuery[0] != '/') {
        pathAndQuery = "/" + pathAndQuery;
    }
    const std::string path = pathAndQuery.substr(0, pathAndQuery.find('?'));
    const std::string query =
        path.size() < pathAndQuery.size() ? pathAndQuery.substr(path.size() + 1) : "";

    std::string spam;
    for (const std::string& listed : spamHosts_) {
        const bool under =
            host == listed || (host.size() > listed.size() &&
                               host.substr(host.size() - listed.size() - 1) == "." + listed);
        if (under && (spam.empty() || listed.size() < spam.size())) {
            spam = listed;
        }
    }
    if (!spam.empty()) {
        return {"spam", spam, ""};
    }
    const Entry* best = nullptr;
    for (const Entry& e : entries_) {
        const bool pathMatches =
            e.path.empty() || path == e.path || path.rfind(e.path + "/", 0) == 0;
        if (pathMatches && host.find(e.needle) != std::string::npos &&
            std::regex_match(host, e.host) && (!best || e.rank < best->rank)) {
            best = &e;
        }
    }
    if (!best) {
        return {"website", host, ""};
    }
    ReferenceSource found{best->sourceClass, best->source, ""};
    for (const std::string& param : best->params) {
        std::string value;
        if (param.size() >= 2 && param.front() == '/' && param.back() == '/') {
            std::smatch m;
            const std::regex pattern(param.substr(1, param.size() - 2));
            if (pattern.mark_count() >= 1 && std::regex_search(pathAndQuery, m, pattern)) {
                value = m[1].str();
            }
        } else {
            for (const std::string& pair : [&query] {
                     std::vector<std::string> pairs;
                     std::stringstream in(query);
                     for (std::string p; std::getline(in, p, '&');) {
                         pairs.push_back(p);
                     }
                     return pairs;
                 }()) {
                if (pair.rfind(param + "=", 0) == 0 && pair.size() > param.size() + 1) {
                    value = pair.substr(param.size() + 1);
                    break;
                }
            }
        }
        found.keyword = Keyword(value, best->charsets);
        if (!found.keyword.empty()) {
            break;
        }
    }
    return found;
}

}  // namespace tallowby::testing
