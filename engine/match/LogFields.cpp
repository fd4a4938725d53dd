#include "LogFields.h"

#include "CombinedLayout.h"
#include "JsonLayout.h"
#include "W3cLayout.h"

namespace tallowby {

const char* LogLayoutName(LogLayout layout) {
    switch (layout) {
        case LogLayout::Combined:
            return "combined";
        case LogLayout::VhostCombined:
            return "vhost combined";
        case LogLayout::S3:
            return "s3";
        case LogLayout::Common:
            return "common";
        case LogLayout::W3c:
            return "w3c";
        case LogLayout::Json:
            return "json";
        case LogLayout::Directive:
            return "directive";
        case LogLayout::Unknown:
            break;
    }
    return "unknown";
}

FieldReader::FieldReader() : json_(std::make_unique<JsonLayout>()) {}
FieldReader::~FieldReader() = default;
FieldReader::FieldReader(FieldReader&&) noexcept = default;
FieldReader& FieldReader::operator=(FieldReader&&) noexcept = default;

LineFields FieldReader::read(std::string_view line, W3cFields& w3c) {
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        line.remove_prefix(kByteOrderMark.size());
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    LineFields out;
    std::size_t first = 0;
    while (first < line.size() && (line[first] == ' ' || line[first] == '\t')) {
        ++first;
    }
    if (first == line.size()) {
        return out;
    }
    if (line[first] == '{') {
        if (!json_) {
            json_ = std::make_unique<JsonLayout>();
        }
        json_->read(line.substr(first), out);
        return out;
    }
    if (line[0] == '#') {
        if (IsW3cDirective(line)) {
            out.layout = LogLayout::Directive;
            if (auto fields = W3cFields::FromDirective(line)) {
                w3c = *fields;
            }
        }
        return out;
    }
    if (!ReadCombined(line, out) && w3c.count > 0) {
        ReadW3c(line, w3c, out);
    }
    return out;
}

}  // namespace tallowby
