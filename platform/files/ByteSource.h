#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// Bounded, positioned access to the bytes of a file or of a buffer, for the readers of binary
// formats (PE images, type libraries). A read either yields every byte asked for or fails; it
// never reads past the end and never allocates beyond what the caller gives it. Abstract so
// the same reader runs over a host file (HostFileSource) and over bytes in memory
// (MemorySource, used by the fuzz targets and the tests).
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Total number of bytes.
    virtual std::uint64_t size() const = 0;

    // Copies `length` bytes starting at `offset` into `out`. Returns false, leaving `out` in an
    // unspecified state, when the range does not lie wholly inside the source or the read fails.
    virtual bool read(std::uint64_t offset, void* out, std::size_t length) const = 0;

    // True when [offset, offset + length) lies inside the source, without overflow.
    bool contains(std::uint64_t offset, std::uint64_t length) const
    {
        const std::uint64_t total = size();
        return offset <= total && length <= total - offset;
    }

    // Little-endian integers at `offset`; nullopt when they do not fit.
    std::optional<std::uint16_t> u16(std::uint64_t offset) const;
    std::optional<std::uint32_t> u32(std::uint64_t offset) const;
    std::optional<std::int32_t> i32(std::uint64_t offset) const;
};

// Bytes already in memory. REQUIRES: the bytes outlive the source.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t length) const override;

private:
    std::string_view bytes_;
};

// A window [offset, offset + length) of another source, seen as a source of its own: a
// resource inside a PE image. Reads outside the window fail even where the outer source has
// bytes. REQUIRES: the outer source outlives the window.
class SubSource final : public ByteSource {
public:
    // The window is clipped to the outer source, so a declared length past its end cannot widen it.
    SubSource(const ByteSource& outer, std::uint64_t offset, std::uint64_t length);
    std::uint64_t size() const override { return length_; }
    bool read(std::uint64_t offset, void* out, std::size_t length) const override;

private:
    const ByteSource& outer_;
    std::uint64_t offset_;
    std::uint64_t length_;
};

// A regular file of the host, read with positioned reads of whole 4 KB blocks, the last few
// of which are kept: nothing is read until asked for, so a large DLL costs only the blocks
// that hold its headers, its resource directory and its library's header. Opening refuses
// anything but a regular file (a folder, a FIFO, a device) without blocking on it.
// REQUIRES: external synchronization (reads fill the block cache).
class HostFileSource final : public ByteSource {
public:
    // Opens `hostPath`. isOpen() tells whether it worked; error() says why not.
    explicit HostFileSource(const QString& hostPath);
    ~HostFileSource() override;
    HostFileSource(const HostFileSource&) = delete;
    HostFileSource& operator=(const HostFileSource&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    const QString& error() const { return error_; }

    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* out, std::size_t length) const override;

private:
    static constexpr std::size_t kBlockSize = 4096;
    static constexpr std::size_t kBlocks = 4;

    // The cached block that starts at `start`, read from the file if it is not cached yet;
    // nullptr when the read fails.
    const char* block(std::uint64_t start) const;

    int fd_ = -1;
    std::uint64_t size_ = 0;
    QString error_;
    struct Block {
        std::uint64_t start = ~std::uint64_t(0); // no block
        std::size_t length = 0;
        char bytes[kBlockSize];
    };
    mutable std::array<Block, kBlocks> blocks_;
    mutable std::size_t nextVictim_ = 0;
};
