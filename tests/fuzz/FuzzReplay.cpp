// The replay runner: links with one fuzz target in builds without libFuzzer
// and turns it into an ordinary test. It runs every file of the seed corpus,
// then a fixed number of pseudo-random inputs made from the seeds and from
// tokens the targets care about. The generator is seeded with a constant, so
// a failure repeats exactly; the failing input is saved to a file.
//
//   <target>_replay [--runs N] [--seed S] [corpus directory or file]...

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "TempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

namespace fs = std::filesystem;

// Pieces of text that steer the targets into their interesting branches:
// schemes, cut terminators, line ends, markup, RTF syntax, CSV syntax,
// extensions of the type table and broken UTF-8.
const char* const kTokens[] = {
    "http://",
    "HTTP://",
    "hTtP://",
    "http:/",
    "://",
    ")",
    "(",
    " ",
    "\t",
    "\r",
    "\n",
    "\r\n",
    "\n\r",
    ".jpg",
    ".JPEG",
    ".zip",
    ".exe",
    ".asp",
    ".rm",
    ".tiff",
    ".",
    "[img]",
    "[BOT]",
    "[zip]",
    "<",
    ">",
    "&",
    "'",
    "\"",
    ",",
    "\"\"",
    "|",
    "0000003|",
    "{",
    "}",
    "\\",
    "{\\rtf1 ",
    "\\par ",
    "\\'e9",
    "\\'",
    "\\u8364?",
    "\\u-10",
    "\\uc2 ",
    "\\*\\",
    "{\\fonttbl{\\f0 Arial;}}",
    "{\\colortbl;\\red255\\green0\\blue0;}",
    "\\bin5 ",
    "\\b ",
    "\\fs9999999999 ",
    "\\line ",
    "\xff",
    "\xc0\xaf",
    "\xe0\x80\xaf",
    "\xed\xa0\x80",
    "\xf4\x90\x80\x80",
    "\xe2\x82\xac",
    "\xf0\x9f\x98\x80",
    "\x80",
    "mysite.com",
    "example",
};

class Generator {
public:
    Generator(std::uint64_t seed, std::vector<std::string> seeds)
        : random_(seed), seeds_(std::move(seeds)) {}

    std::string next() {
        switch (below(4)) {
            case 0:
                return tokens(1 + below(64));
            case 1:
                return bytes(below(256));
            default:
                return seeds_.empty() ? tokens(1 + below(64))
                                      : mutate(seeds_[below(seeds_.size())]);
        }
    }

private:
    std::size_t below(std::size_t n) { return n == 0 ? 0 : random_() % n; }

    std::string token() {
        if (below(8) == 0) {
            return std::string(1, '\0');
        }
        return kTokens[below(std::size(kTokens))];
    }
    std::string tokens(std::size_t count) {
        std::string s;
        for (std::size_t i = 0; i < count; ++i) {
            s += below(3) == 0 ? std::string(1, static_cast<char>('a' + below(26))) : token();
        }
        return s;
    }
    std::string bytes(std::size_t count) {
        std::string s(count, '\0');
        for (char& c : s) {
            c = static_cast<char>(below(256));
        }
        return s;
    }
    std::string mutate(std::string s) {
        const std::size_t steps = 1 + below(8);
        for (std::size_t i = 0; i < steps; ++i) {
            const std::size_t at = below(s.size() + 1);
            switch (below(6)) {
                case 0:  // overwrite a byte
                    if (!s.empty())
                        s[below(s.size())] = static_cast<char>(below(256));
                    break;
                case 1:
                    s.insert(at, token());
                    break;
                case 2:  // delete a stretch
                    s.erase(at, below(16));
                    break;
                case 3:  // repeat a stretch
                    s.insert(at, s.substr(below(s.size() + 1), below(32)));
                    break;
                case 4:  // splice with another seed
                    if (!seeds_.empty()) {
                        const std::string& other = seeds_[below(seeds_.size())];
                        s = s.substr(0, at) + other.substr(below(other.size() + 1));
                    }
                    break;
                default:  // cut short
                    s.resize(at);
                    break;
            }
        }
        return s;
    }

    std::mt19937_64 random_;
    std::vector<std::string> seeds_;
};

std::string current;  // the input being run, saved when a property fails

void SaveCurrent() {
    const fs::path path = fs::temp_directory_path() /
                          ("tallowby-fuzz-failure-" + std::to_string(::getpid()) + ".bin");
    std::ofstream out(path, std::ios::binary);
    out.write(current.data(), static_cast<std::streamsize>(current.size()));
    std::fprintf(stderr, "failing input (%zu bytes) saved to %s\n", current.size(), path.c_str());
}

void Run(const std::string& input) {
    current = input;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(current.data()), current.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) {
        LLVMFuzzerInitialize(&argc, &argv);
    }
    tallowby::fuzz::SetFailureHook(SaveCurrent);
    std::size_t runs = 3000;
    std::uint64_t seed = 20240601;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (fs::is_directory(arg)) {
            for (const auto& entry : fs::directory_iterator(arg)) {
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            }
        } else if (fs::is_regular_file(arg)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "no such corpus: %s\n", arg.c_str());
            return 2;
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> seeds;
    for (const fs::path& file : files) {
        seeds.push_back(tallowby::testing::ReadWhole(file.string()));
        Run(seeds.back());
    }
    Generator generator(seed, seeds);
    for (std::size_t i = 0; i < runs; ++i) {
        Run(generator.next());
    }
    std::printf("%zu seed inputs and %zu generated inputs ran clean\n", seeds.size(), runs);
    return 0;
}
