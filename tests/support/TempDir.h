#pragma once

// A fresh folder for one test, and whole-file reading, for every test that
// needs real files.

#include <filesystem>
#include <string>

namespace tallowby::testing {

// A fresh folder under the system's temporary folder, removed with its
// contents (also those a test made read-only) when this goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of `name` inside the folder.
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes `content` to `name` and returns its path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

// The whole content of the file at `path`; empty when it cannot be read.
std::string ReadWhole(const std::string& path);

}  // namespace tallowby::testing
