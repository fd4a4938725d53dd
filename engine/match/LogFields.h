#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace tallowby {

class JsonLayout;

// The layouts a log line is recognised in, from the line itself (and, for
// W3C lines, the file's latest "#Fields:" directive).
enum class LogLayout : std::uint8_t {
    Unknown,        // of no known layout: no referrer, not even a guess
    Combined,       // NCSA combined, fields after the user agent allowed
    VhostCombined,  // combined with a virtual host (host or host:port) in front
    S3,             // an object store's server access log (bucket owner, bucket, [time], ...)
    Common,         // NCSA common (also with a virtual host): no referrer field
    W3c,            // W3C extended, read by the latest "#Fields:" directive
    Json,           // one JSON object a line
    Directive,      // a W3C directive ("#Fields:", "#Version:", ...): no log line at all
};
inline constexpr int kLogLayoutCount = 8;

// The layout's name in lower case ("unknown", "combined", "vhost combined",
// "s3", "common", "w3c", "json", "directive"). Never null.
const char* LogLayoutName(LogLayout layout);

// What a line's fields say. The views point into the line read or into the
// reader's own buffer (decoded JSON strings): they stay valid until the
// reader reads its next line and while the line's bytes live.
struct LineFields {
    LogLayout layout = LogLayout::Unknown;
    // The line's layout has a referrer field and the line has it (a JSON
    // line holds one of the referrer keys), whatever its value.
    bool referrerField = false;
    // The referrer as the log writes it, only the format's own wrapping
    // removed: a combined field without its quotes (backslash escapes kept
    // as written), a JSON string decoded, a W3C value as written (without
    // the quotes of a quoted value). Empty when the line has none: no such
    // field, or a value of "-" or nothing.
    std::string_view referrer;
    // The user agent by the same rules (combined; W3C cs(User-Agent); JSON
    // user_agent, http_user_agent, request_User-Agent, request.headers'
    // User-Agent). Empty when the line has none.
    std::string_view userAgent;
};

// The fields that a W3C extended log's latest "#Fields:" directive names,
// as far as the reader needs them. A file starts with none (count 0); the
// value is small and plain, to be copied to whoever reads the file's lines.
struct W3cFields {
    std::uint32_t count = 0;      // the fields a line has; 0: no directive naming any
    std::int32_t referrer = -1;   // where cs(Referer), cs(Referrer) or cs-referer is, or -1
    std::int32_t userAgent = -1;  // where cs(User-Agent) or cs-user-agent is, or -1
    bool operator==(const W3cFields&) const = default;

    // The fields named by `line` when it is a "#Fields:" directive (names
    // compared without letter case, separated by spaces or tabs; the first
    // of a repeated name counts); nullopt for any other line.
    static std::optional<W3cFields> FromDirective(std::string_view line);
};

// Reads the fields of log lines, one line at a time. Holds the working
// space of the JSON parser, so one reader serves one thread; the W3C state
// of each file is the caller's (W3cFields), so that the lines of one file
// may be read by several readers when each is given the state in force
// where its lines start. A reader moved from may be read with again.
class FieldReader {
public:
    FieldReader();
    ~FieldReader();
    FieldReader(FieldReader&&) noexcept;
    FieldReader& operator=(FieldReader&&) noexcept;

    // The fields of `line` (without its line end; a CR left at its end and
    // a byte-order mark at its start are ignored). The layout is tried in
    // this order: a line that starts with "{" after blanks is JSON (an
    // object the parser accepts, else Unknown); a line that starts with "#"
    // is a W3C directive when it has the shape "#Name:" (a "#Fields:" one
    // replaces `w3c` from the next line on), else Unknown; then the combined
    // family; then, when `w3c` names fields, a W3C line of exactly that many
    // fields. Anything else is Unknown. Never fails; any bytes are read.
    //
    // The combined family: two (bucket owner, bucket: S3), three (host,
    // ident, user) or four (a virtual host first) fields, each followed by
    // one space, then the time as [10/Oct/2000:13:55:36 -0700]; then for
    // S3 its twelve fields to "referer" "user-agent", else "request" status
    // bytes, the end (Common; blanks may follow) or "referer", then the end
    // or "user-agent", then the end or a space and anything. A quoted field
    // runs to the first quote that no backslash escapes; the status is
    // three digits, sizes are digits or "-".
    //
    // W3C lines: values separated by tabs when the line holds one, else by
    // spaces, one separator between two values; a value starting with a
    // quote runs to a quote followed by a separator or the end.
    //
    // JSON lines: the referrer is the top-level string under "referer",
    // "referrer", "http_referer", "http_referrer", "request_Referer",
    // "Referer" or "cs-referer", or the first string of the array under
    // "request" -> "headers" -> "Referer"; such a key elsewhere does not
    // count. Of several such keys the first in the line wins, a repeated
    // one included. A value other than a string is no referrer. Bytes that
    // are not UTF-8 are read as they stand. A JSON line of more than
    // kMaxJsonLine bytes is Unknown: the parser's working space grows with
    // the line, and no server writes such lines.
    LineFields read(std::string_view line, W3cFields& w3c);

    static constexpr std::size_t kMaxJsonLine = std::size_t{1} << 20;

private:
    std::unique_ptr<JsonLayout> json_;
};

}  // namespace tallowby
