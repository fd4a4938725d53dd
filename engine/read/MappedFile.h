#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tallowby {

// A plain file's first `size` bytes mapped into memory, to be read where
// they lie instead of copied out of the kernel's cache.
//
// A file cut short while it is mapped would make a read of a page past its
// new end raise SIGBUS and end the program. A handler, set up with the
// first mapping, maps zeros over the missing pages instead and notes the
// place; the reader asks zerosFrom() once it has read the bytes and treats
// the file as ending there, or where it now ends if that is sooner. A SIGBUS outside
// every mapping goes to the handler that was there before.
class MappedFile {
public:
    // Null when the file cannot be mapped (it is then read as before).
    static std::unique_ptr<MappedFile> Map(int fd, std::uint64_t size);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    // The bytes before `upTo` are no longer needed: their pages leave the
    // process (the file keeps them in the kernel's cache), in whole steps of
    // kReleaseStep so that large mapped pages stay whole.
    void release(const char* upTo);
    // Where the zeros mapped over missing pages start, once a read found
    // some (the file was cut short); kWhole until then.
    static constexpr std::size_t kWhole = ~std::size_t{0};
    std::size_t zerosFrom() const;

    static constexpr std::size_t kReleaseStep = std::size_t{2} << 20;

private:
    MappedFile(char* data, std::size_t size, std::size_t mappedSize, int slot)
        : data_(data), size_(size), mappedSize_(mappedSize), slot_(slot), released_(data) {}
    char* data_;
    std::size_t size_;
    std::size_t mappedSize_;  // whole pages
    int slot_;                // in the handler's table
    const char* released_;    // release() has given back the pages before this
};

}  // namespace tallowby
