#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/classify/Sites.h"
#include "engine/tally/ScanTypes.h"
#include "engine/tally/WorkList.h"
#include "output/RowBlocks.h"
#include "output/RowCells.h"
#include "output/TextOutput.h"

namespace tallowby {

// Plain-text forms of the results rows, for scripts and copying. Each
// function appends to `out`, so callers can batch many rows per write; the
// TextOutput forms hand long cells on in pieces as they are escaped.

// --- CSV: the header "Type,Clicks,Referrer", one line per row, LF line ends.
// A field is quoted when it holds a comma, a double quote, CR or LF, and its
// quotes are doubled; all other bytes are written exactly as they are.
void AppendCsvHeader(std::string& out);
inline void AppendCsvHeader(TextOutput& out) {
    AppendCsvHeader(out.buffer());
}
void AppendCsvField(std::string& out, std::string_view field);
void AppendCsvField(TextOutput& out, std::string_view field);
void AppendCsvRow(std::string& out, const ReferrerEntry& row);
void AppendCsvRow(TextOutput& out, const ReferrerEntry& row);
void AppendCsvRow(TextOutput& out, const ResultCells& row);
// The rows of every entry of `list`, in its order, straight from the list:
// nothing is built per row. With `typeCodes` off the "Type" cells stay empty.
void AppendCsvRows(TextOutput& out, const WorkList& list, bool typeCodes);
// The rows of the entries `block` names (clipped to the list), as
// RowBlock says; returns the first entry not written.
std::size_t AppendCsvRows(TextOutput& out, const WorkList& list, bool typeCodes,
                          const RowBlock& block);
// The rows of the sites view the same way: the header "Pages,Clicks,Site",
// then the rows of the sites `block` names (clipped to `sites`), as
// SiteCellsOf gives them; returns the first site not written.
void AppendSiteCsvHeader(TextOutput& out);
std::size_t AppendSiteCsvRows(TextOutput& out, const std::vector<Site>& sites,
                              const RowBlock& block);

// --- JSON.
// `text` as a JSON string, quotes included: " and \ escaped, control bytes as
// \n, \t, ... or \u00XX, valid UTF-8 copied, and every ill-formed UTF-8
// sequence (each maximal invalid subpart) replaced by U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);
void AppendJsonString(TextOutput& out, std::string_view text);

// A JSON document {"rows":[{"type":..,"clicks":..,"referrer":..},...],
// "stats":{"filesDone":..,...}} written in three steps, so rows can stream.
class JsonResultsWriter {
public:
    explicit JsonResultsWriter(std::string& out) : own_(out), out_(own_) {}
    explicit JsonResultsWriter(TextOutput& out) : own_(unused_), out_(out) {}
    void begin();
    // The next row is row `row` of the document (counted from 0): any but
    // the first starts with its separator. For rows written in blocks, each
    // by a writer of its own.
    void startAt(std::size_t row) { first_ = row == 0; }
    void row(const ReferrerEntry& row);
    void row(const ResultCells& row);
    // row() for every entry of `list`, as AppendCsvRows() takes them.
    void rows(const WorkList& list, bool typeCodes);
    // The rows of the entries `block` names, as RowBlock says, the first
    // taken as startAt(block.from) says when block.from > 0. Returns the
    // first entry not written.
    std::size_t rows(const WorkList& list, bool typeCodes, const RowBlock& block);
    // The rows of the sites `block` names, each {"pages":..,"clicks":..,"site":..},
    // as rows() takes entries. Returns the first site not written.
    std::size_t siteRows(const std::vector<Site>& sites, const RowBlock& block);
    // One row of the sites view from its cells ("Pages", "Clicks", "Site"),
    // as siteRows() writes each.
    void siteRow(const ResultCells& cells);
    // With `spamHidden` the statistics end with "spamHidden":N; then, with
    // `fields`, "fields":{...}: the lines of each layout, of no known layout,
    // without a referrer, self-referrals, crawler lines and those left out,
    // and the files of no known layout.
    void end(const ScanCounters& counters, bool spamHidden = false, bool fields = false);

private:
    // A row as an object of its three cells, `names` being their keys as
    // written before each value (quotes, colon and the comma between).
    void object(const std::string_view (&names)[3], const ResultCells& cells);
    void appendFields(const FieldCounts& fields);

    std::string unused_;
    TextOutput own_;  // over the caller's string, for the string form
    TextOutput& out_;
    bool first_ = true;
};

}  // namespace tallowby
