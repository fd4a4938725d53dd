// --merge: partial results of scans, given in the order of their inputs,
// made into the output of one scan of all those inputs.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/ScanCommand.h"
#include "engine/scan/ListFiles.h"
#include "engine/scan/ScanOptionNames.h"
#include "engine/tally/PartialMerger.h"

namespace tallowby::cli {

namespace {

// The first option in which `got` differs from `want`, as "got against want".
std::string Difference(const std::vector<std::string>& got, const std::vector<std::string>& want) {
    for (std::size_t i = 0; i < got.size() || i < want.size(); ++i) {
        const std::string a = i < got.size() ? got[i] : "(none)";
        const std::string b = i < want.size() ? want[i] : "(none)";
        if (a != b) {
            return a + " against " + b;
        }
    }
    return {};
}

// The value of `key` among "key=value" options, or `fallback`.
std::string OptionValue(const std::vector<std::string>& options, const std::string& key,
                        const std::string& fallback) {
    for (const std::string& option : options) {
        if (option.size() > key.size() && option.compare(0, key.size(), key) == 0 &&
            option[key.size()] == '=') {
            return option.substr(key.size() + 1);
        }
    }
    return fallback;
}

}  // namespace

int RunMergeCommand(const ScanOptions& options, const CommandIo& io) {
    FileSystem& fs = io.fs ? *io.fs : RealFileSystem();
    if (!OutputsSpareInputs(options, fs, io)) {
        return kExitUsage;
    }
    std::optional<SourceLists> sources;
    if (!LoadSourcesOption(options, fs, io, sources)) {
        return kExitFileProblem;
    }
    PartialMerger merger;
    std::vector<std::string> want;
    std::string wantFrom = "the command line";
    if (options.scanOptionsGiven) {
        want = PartialOptionsOf(options);
    }
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        const std::string& path = options.files[i];
        Partial partial;
        const PartialFileResult read = ReadPartial(fs, path, partial);
        if (!read.ok) {
            Complain(io.err, path, "cannot merge: " + read.error);
            return kExitUsage;
        }
        if (i == 0 && !options.scanOptionsGiven) {
            want = partial.summary.options;
            wantFrom = path;
        }
        if (partial.summary.options != want) {
            Complain(io.err, path,
                     "made with other options than " + wantFrom + " (" +
                         Difference(partial.summary.options, want) + "); nothing was merged");
            return kExitUsage;
        }
        std::string error;
        if (!merger.add(std::move(partial), error)) {
            Complain(io.err, path, "cannot merge: " + error);
            return kExitUsage;
        }
    }
    merger.finish();

    // The output options come from this command line, the scan options
    // from the partials.
    ScanOptions effective = options;
    effective.removeDupes = merger.summary().collapsed;
    const std::vector<std::string>& recorded = merger.summary().options;
    effective.typeCodes =
        OptionValue(recorded, std::string(kTypeCodesOption.partialKey), "1") != "0";
    effective.hideSpam =
        !OptionValue(recorded, std::string(kHideSpamOption.partialKey), "").empty();
    effective.fields = OptionValue(recorded, std::string(kFieldsOption.partialKey), "0") == "1";
    effective.noCrawlers =
        !OptionValue(recorded, std::string(kNoCrawlersOption.partialKey), "").empty();
    // What the report names: the domain, the rules and the lists used.
    effective.domain = OptionValue(recorded, std::string(kOwnDomainOption.partialKey), "");
    effective.httpsReferrers =
        OptionValue(recorded, std::string(kHttpsOption.partialKey), "0") == "1";
    effective.quotedReferrers =
        OptionValue(recorded, std::string(kQuotedOption.partialKey), "0") == "1";
    const auto listFile = [&recorded](std::string_view key) -> std::optional<std::string> {
        const std::string list = OptionValue(recorded, std::string(key), "built-in");
        return list == "built-in" ? std::nullopt : std::optional<std::string>(list);
    };
    effective.spamListPath = listFile(kHideSpamOption.partialKey);
    effective.crawlerListPath = listFile(kNoCrawlersOption.partialKey);
    int status = kExitOk;
    if (merger.summary().inputsIncomplete) {
        Complain(io.err, "warning",
                 "some inputs of these partial results could not be read when they were made");
        status = kExitFileProblem;
    }
    ScanOutputs results{merger.workList(), merger.summary()};
    results.sources = sources ? &*sources : nullptr;
    return WriteScanOutputs(effective, results, fs, io, status);
}

}  // namespace tallowby::cli
