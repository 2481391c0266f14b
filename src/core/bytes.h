// Little-endian byte buffers: bounded reads for the binary file loaders and a
// writer for the savers.  A read past the end reports failure instead of
// touching memory it does not own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zq {

using Bytes = std::vector<std::uint8_t>;

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const Bytes& bytes) : ByteReader(bytes.data(), bytes.size()) {}

    std::size_t Size() const { return size_; }
    // True when [offset, offset + count) lies inside the buffer (overflow-safe).
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }

    std::uint8_t U8(std::size_t offset) const { return data_[offset]; }
    std::uint16_t U16(std::size_t offset) const {
        return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    std::uint32_t U32(std::size_t offset) const {
        return static_cast<std::uint32_t>(data_[offset]) |
               (static_cast<std::uint32_t>(data_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(data_[offset + 2]) << 16) |
               (static_cast<std::uint32_t>(data_[offset + 3]) << 24);
    }
    std::int32_t I32(std::size_t offset) const { return static_cast<std::int32_t>(U32(offset)); }
    float F32(std::size_t offset) const {
        std::uint32_t bits = U32(offset);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // A 256-byte short string: a length byte, then that many characters.
    std::string ShortString(std::size_t offset) const {
        std::size_t length = data_[offset];
        return std::string(reinterpret_cast<const char*>(data_ + offset + 1), length);
    }
    const std::uint8_t* Data() const { return data_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

class ByteWriter {
public:
    void U8(std::uint8_t value) { bytes_.push_back(value); }
    void U16(std::uint16_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void U32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void F32(float value) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        U32(bits);
    }
    // Writes a 256-byte short string; text past 255 characters is cut.
    void ShortString(const std::string& text) {
        std::size_t length = text.size() < 255 ? text.size() : 255;
        bytes_.push_back(static_cast<std::uint8_t>(length));
        bytes_.insert(bytes_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
        bytes_.insert(bytes_.end(), 255 - length, 0);
    }
    void Raw(const void* data, std::size_t count) {
        auto p = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + count);
    }
    void Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }

    std::size_t Size() const { return bytes_.size(); }
    Bytes& Buffer() { return bytes_; }
    const Bytes& Buffer() const { return bytes_; }

private:
    Bytes bytes_;
};

}  // namespace zq
