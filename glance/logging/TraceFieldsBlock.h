// The fields block of one trace event (kestrel/TraceEvent.h): little-endian
// numbers and counted strings, built in 256 bytes of inline space that grows
// by half its size, so that a typical event needs no heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ETWLogging {

class TraceFieldsBlock {
public:
    TraceFieldsBlock() = default;
    TraceFieldsBlock(const TraceFieldsBlock&) = delete;
    TraceFieldsBlock& operator=(const TraceFieldsBlock&) = delete;

    void appendU32(uint32_t value) { appendLittleEndian(value, 4); }
    void appendI32(int32_t value) { appendLittleEndian(static_cast<uint32_t>(value), 4); }
    void appendU64(uint64_t value) { appendLittleEndian(value, 8); }
    // A 16-bit count of UTF-16 units, then the units. A null text counts 0;
    // a text longer than the count can say is cut to 65535 units.
    void appendCounted(const wchar_t* text);

    const uint8_t* data() const noexcept { return data_; }
    size_t size() const noexcept { return size_; }
    size_t capacity() const noexcept { return capacity_; }

    static constexpr size_t kInlineBytes = 256;

private:
    void appendLittleEndian(uint64_t value, size_t width);
    void reserve(size_t more);

    uint8_t inline_[kInlineBytes];
    std::unique_ptr<uint8_t[]> heap_;
    uint8_t* data_ = inline_;
    size_t size_ = 0;
    size_t capacity_ = kInlineBytes;
};

} // namespace ETWLogging
