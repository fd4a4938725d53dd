#include "ScanFailures.h"

#include <algorithm>

namespace tallowby {

namespace {

std::string MoreText(std::size_t more) {
    return "and " + std::to_string(more) + (more == 1 ? " more file" : " more files");
}

}  // namespace

std::string FailuresStatusText(const std::vector<FileFailure>& failures) {
    if (failures.empty()) {
        return {};
    }
    std::string text = " : " + std::to_string(failures.size()) +
                       (failures.size() == 1 ? " file" : " files") + " not read whole: ";
    const std::size_t named = std::min(failures.size(), kNamedFailures);
    for (std::size_t i = 0; i < named; ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += failures[i].name + " (" + failures[i].what + ")";
    }
    if (named < failures.size()) {
        text += ", " + MoreText(failures.size() - named);
    }
    return text;
}

std::string FailuresMessageText(const std::vector<FileFailure>& failures) {
    if (failures.empty()) {
        return {};
    }
    std::string text = "\r\n\r\nNot read whole:";
    const std::size_t named = std::min(failures.size(), kNamedFailures);
    for (std::size_t i = 0; i < named; ++i) {
        text += "\r\n" + failures[i].name + ": " + failures[i].what;
    }
    if (named < failures.size()) {
        text += "\r\n" + MoreText(failures.size() - named);
    }
    return text;
}

std::string SkippedPagesStatusText(const std::vector<std::string>& names) {
    if (names.empty()) {
        return {};
    }
    std::string text = " : skipped, not a log: ";
    const std::size_t named = std::min(names.size(), kNamedFailures);
    for (std::size_t i = 0; i < named; ++i) {
        text += (i > 0 ? ", " : "") + names[i];
    }
    if (named < names.size()) {
        text += ", " + MoreText(names.size() - named);
    }
    return text;
}

std::string SkippedPagesMessageText(const std::vector<std::string>& names) {
    if (names.empty()) {
        return {};
    }
    std::string text = "\r\n\r\nSkipped, not a log (a page this program writes):";
    const std::size_t named = std::min(names.size(), kNamedFailures);
    for (std::size_t i = 0; i < named; ++i) {
        text += "\r\n" + names[i];
    }
    if (named < names.size()) {
        text += "\r\n" + MoreText(names.size() - named);
    }
    return text;
}

}  // namespace tallowby
