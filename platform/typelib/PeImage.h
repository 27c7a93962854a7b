#pragma once

// The headers of a PE image (32- and 64-bit .dll, .ocx, .exe) and the mapping of its relative
// virtual addresses to file offsets: what every reader of a structure inside an image starts
// from. Only the DOS header, the file and optional headers and the section table are read.

#include "platform/files/ByteSource.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// A run of bytes inside a source.
struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// True when the source begins as a Windows executable image does ("MZ"). Such a file is read
// only as an image, never as raw data.
bool StartsLikeExecutableImage(const ByteSource& source);

class PeImage {
public:
    // Where a structure of the image lies: a data directory of the optional header.
    struct Directory {
        std::uint32_t rva = 0; // 0: the image has no such structure
        std::uint32_t size = 0;
    };
    static constexpr unsigned kImportDirectory = 1;
    static constexpr unsigned kResourceDirectory = 2;
    static constexpr unsigned kDelayImportDirectory = 13;

    // Reads the headers of the PE32 or PE32+ image `image`. Returns nullopt with `error` (when
    // given) saying why when they cannot be read: not an image, truncated headers, more
    // sections than the Windows loader takes.
    static std::optional<PeImage> read(const ByteSource& image, QString* error = nullptr);

    std::uint16_t machine() const { return machine_; }
    std::uint16_t characteristics() const { return characteristics_; }
    bool plus() const { return plus_; }
    std::uint64_t imageBase() const { return imageBase_; }

    // The data directory `index`; an empty one when the optional header holds fewer.
    Directory directory(unsigned index) const;

    // File range of `length` bytes at `rva`, when they lie in one section's data in the file.
    // The range is not checked against the source's size.
    std::optional<ByteRange> toFile(std::uint32_t rva, std::uint64_t length) const;

    // The file bytes of the section holding `rva`, from `rva` to the end of its data on disk;
    // not checked against the source's size.
    std::optional<ByteRange> restOfSection(std::uint32_t rva) const;

private:
    struct Section {
        std::uint32_t virtualAddress = 0;
        std::uint32_t virtualSize = 0;
        std::uint32_t rawSize = 0;
        std::uint32_t rawOffset = 0;
    };
    static constexpr unsigned kMaxDirectories = 16;

    // The section whose addresses hold `rva`, and how far into it `rva` lies.
    const Section* sectionOf(std::uint32_t rva, std::uint64_t* delta) const;

    std::uint16_t machine_ = 0;
    std::uint16_t characteristics_ = 0;
    bool plus_ = false;
    std::uint64_t imageBase_ = 0;
    unsigned directoryCount_ = 0;
    Directory directories_[kMaxDirectories];
    std::vector<Section> sections_;
};
