#include "cli/CommandLine.h"

#include <gtest/gtest.h>

namespace tallowby::cli {
namespace {

Validated Parse(const std::vector<std::string>& args) {
    return ValidateOptions(ParseCommandLine(args));
}

TEST(CommandLine, ValidScansGiveOptionsWithDefaults) {
    struct Case {
        std::vector<std::string> args;
        ScanOptions expected;
    };
    auto opts = [](std::vector<std::string> files, bool dupes = true, bool types = true,
                   OutputFormat format = OutputFormat::Csv, std::optional<std::string> html = {},
                   bool quiet = false, std::string domain = "example.com") {
        ScanOptions o;
        o.domain = std::move(domain);
        o.removeDupes = dupes;
        o.typeCodes = types;
        o.format = format;
        o.htmlPath = std::move(html);
        o.quiet = quiet;
        o.files = std::move(files);
        return o;
    };
    const std::vector<Case> cases = {
        {{"-d", "example.com", "a.log"}, opts({"a.log"})},
        {{"a.log", "--domain", "example.com", "b.log"}, opts({"a.log", "b.log"})},
        {{"--domain=example.com", "-"}, opts({"-"})},
        {{"-dexample.com", "--no-dupes", "--no-types", "a.log"}, opts({"a.log"}, false, false)},
        {{"-d", "example.com", "--format", "json", "--html", "out/referers.html", "-q", "a"},
         opts({"a"}, true, true, OutputFormat::Json, "out/referers.html", true)},
        {{"-d", "example.com", "--format=csv", "--quiet", "a"},
         opts({"a"}, true, true, OutputFormat::Csv, {}, true)},
        // After "--" everything is a file name, even what looks like an option.
        {{"-d", "example.com", "--", "--quiet", "-d"}, opts({"--quiet", "-d"})},
        // The last of a repeated option counts; the domain is kept exactly.
        {{"-d", "first", "-d", " Mixed.Case ", "a"},
         opts({"a"}, true, true, OutputFormat::Csv, {}, false, " Mixed.Case ")},
    };
    for (const Case& c : cases) {
        const Validated v = Parse(c.args);
        ASSERT_EQ(v.action, Action::Scan) << v.error;
        EXPECT_EQ(v.options.domain, c.expected.domain);
        EXPECT_EQ(v.options.removeDupes, c.expected.removeDupes);
        EXPECT_EQ(v.options.typeCodes, c.expected.typeCodes);
        EXPECT_EQ(v.options.format, c.expected.format);
        EXPECT_EQ(v.options.htmlPath, c.expected.htmlPath);
        EXPECT_EQ(v.options.quiet, c.expected.quiet);
        EXPECT_EQ(v.options.files, c.expected.files);
    }
}

TEST(CommandLine, MistakesAreUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{}, "the own domain is required: --domain DOMAIN"},
        {{"a.log"}, "the own domain is required: --domain DOMAIN"},
        {{"--domain=", "a.log"}, "the own domain must not be empty"},
        {{"-d", "x"}, "no log files given (use - for standard input)"},
        {{"-d", "x", "--format", "CSV", "a"}, "unknown format 'CSV' (use csv or json)"},
        {{"-d", "x", "--html=", "a"}, "--html needs a file name"},
        {{"-d", "x", "--report", "-", "a"}, "--report needs a file name"},
        {{"-d", "x", "-", "a", "-"}, "standard input (-) can be read only once"},
        {{"-d", "x", "-x", "a"}, "unknown option '-x'"},
        {{"-d", "x", "--no-dupes=1", "a"}, "option '--no-dupes' takes no value"},
        {{"-d", "x", "a", "--format"}, "option '--format' needs a value"},
        {{"--domains", "x", "a"}, "unknown option '--domains'"},
        {{"-d", "x", "--threads", "0", "a"}, "--threads needs a whole number from 1 to 64"},
        {{"-d", "x", "--threads=65", "a"}, "--threads needs a whole number from 1 to 64"},
        {{"-d", "x", "--threads", "-2", "a"}, "--threads needs a whole number from 1 to 64"},
        {{"-d", "x", "--threads", "2x", "a"}, "--threads needs a whole number from 1 to 64"},
        {{"-d", "x", "--no-crawlers", "a"}, "--no-crawlers works with --fields only"},
        {{"-d", "x", "--crawlers", "c.json", "a"}, "--crawlers works with --fields only"},
        {{"-d", "x", "--fields", "--crawlers=", "a"}, "--crawlers needs a file name"},
    };
    for (const Case& c : cases) {
        const Validated v = Parse(c.args);
        EXPECT_EQ(v.action, Action::Usage) << c.error;
        EXPECT_EQ(v.error, c.error);
    }
}

TEST(CommandLine, ThreadsDefaultToOnePerCore) {
    EXPECT_EQ(Parse({"-d", "x", "a"}).options.threads, 0u);
    EXPECT_EQ(Parse({"-d", "x", "--threads", "1", "a"}).options.threads, 1u);
    EXPECT_EQ(Parse({"--threads=64", "-d", "x", "a"}).options.threads, 64u);
}

TEST(CommandLine, HelpAndVersionWinOverMistakes) {
    EXPECT_EQ(Parse({"--bogus", "--help"}).action, Action::Help);
    EXPECT_EQ(Parse({"-h"}).action, Action::Help);
    EXPECT_EQ(Parse({"--version", "a.log"}).action, Action::Version);
    EXPECT_EQ(Parse({"--help", "--version"}).action, Action::Help);
}

}  // namespace
}  // namespace tallowby::cli
