// Sole owner of one OS handle. `Traits` names the handle type, its empty value
// and how to give it back:
//   struct Traits { using Handle = ...; static Handle empty() noexcept;
//                   static void close(Handle) noexcept; };
// Never copied; moving hands the handle over; close() is idempotent.
#pragma once

#include <utility>

namespace Vanta {

template <typename Traits> class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept = default;
    explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { close(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::empty(); }

    // Gives the handle up without closing it.
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Traits::empty()); }
    // Closes the handle held, if any, and takes `handle`.
    void reset(Handle handle = Traits::empty()) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::empty()) {
            Traits::close(old);
        }
    }
    void close() noexcept { reset(); }
    // Closes the handle held and answers where a system call may store a new one.
    Handle* receive() noexcept {
        close();
        return &handle_;
    }

private:
    Handle handle_ = Traits::empty();
};

} // namespace Vanta
