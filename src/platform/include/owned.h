#pragma once

#include <type_traits>
#include <utility>

namespace vemor::platform {

// The value a kind of handle has when it leads nowhere. Each kind names its own, as the system
// gives it (-1 for a descriptor, INVALID_HANDLE_VALUE for a file opened on Windows, null for a
// process), so that an empty owner hands on a value every call refuses rather than one that
// leads somewhere: 0 is standard input on POSIX.
template <auto Value>
struct InvalidIs {
    static auto value() { return Value; }
};

// Pointers are empty when null; any other kind of handle has to say what empty means.
template <typename Handle>
struct NullHandle {
    static_assert(std::is_pointer_v<Handle>, "name the handle's invalid value");
    static Handle value() { return nullptr; }
};

// The one owner of a handle the system gave us: it is closed exactly once, when the owner
// goes or when Close() is called, on every path out, thrown failures included. Move-only,
// so no copy can close it a second time. An owner given the invalid value owns nothing.
template <typename Handle, typename Closer, typename Invalid = NullHandle<Handle>>
class Owned {
public:
    using Status = decltype(std::declval<Closer&>()(std::declval<Handle>()));

    Owned() = default;
    explicit Owned(Handle handle, Closer closer = Closer{}) : handle_(handle), closer_(std::move(closer)) {}
    ~Owned() { Close(); }

    Owned(Owned&& other) noexcept : handle_(other.Release()), closer_(std::move(other.closer_)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.Release();
            closer_ = std::move(other.closer_);
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    // The handle, or the invalid value when nothing is owned.
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Invalid::value(); }

    // Gives the handle up to the caller, who closes it from now on.
    Handle Release() { return std::exchange(handle_, Invalid::value()); }

    // Closes now, for callers that must know whether closing worked: the closer's own
    // status, or the status's default when nothing was owned.
    Status Close() {
        if (!*this) return Status{};
        return closer_(Release());
    }

private:
    Handle handle_ = Invalid::value();
    [[no_unique_address]] Closer closer_;
};

// A closer that calls one function of the system with the handle.
template <auto Function>
struct CallTo {
    template <typename Handle>
    auto operator()(Handle handle) const {
        return Function(handle);
    }
};

}  // namespace vemor::platform
