#include "logging/TraceFieldsBlock.h"

#include <cstring>

namespace ETWLogging {

void TraceFieldsBlock::appendCounted(const wchar_t* text) {
    size_t length = 0;
    if (text != nullptr) {
        while (length < 0xFFFF && text[length] != L'\0') {
            ++length;
        }
    }
    appendLittleEndian(length, 2);
    reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        const auto unit = static_cast<uint16_t>(text[i]);
        data_[size_++] = static_cast<uint8_t>(unit);
        data_[size_++] = static_cast<uint8_t>(unit >> 8);
    }
}

void TraceFieldsBlock::appendLittleEndian(uint64_t value, size_t width) {
    reserve(width);
    for (size_t i = 0; i < width; ++i) {
        data_[size_++] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void TraceFieldsBlock::reserve(size_t more) {
    if (size_ + more <= capacity_) {
        return;
    }
    size_t grown = capacity_;
    while (grown < size_ + more) {
        grown += grown / 2;
    }
    auto bigger = std::make_unique<uint8_t[]>(grown);
    std::memcpy(bigger.get(), data_, size_);
    heap_ = std::move(bigger);
    data_ = heap_.get();
    capacity_ = grown;
}

} // namespace ETWLogging
