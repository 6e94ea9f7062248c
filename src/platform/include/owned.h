#pragma once

#include <optional>
#include <utility>

namespace vemor::platform {

// The one owner of a handle the system gave us: it is closed exactly once, when the owner
// goes or when Close() is called, on every path out, thrown failures included. Move-only,
// so no copy can close it a second time.
template <typename Handle, typename Closer>
class Owned {
public:
    using Status = decltype(std::declval<Closer&>()(std::declval<Handle>()));

    Owned() = default;
    explicit Owned(Handle handle, Closer closer = Closer{}) : handle_(handle), closer_(std::move(closer)) {}
    ~Owned() { Close(); }

    Owned(Owned&& other) noexcept
        : handle_(std::exchange(other.handle_, std::nullopt)), closer_(std::move(other.closer_)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, std::nullopt);
            closer_ = std::move(other.closer_);
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    // The handle, or a null one when nothing is owned.
    Handle get() const { return handle_.value_or(Handle{}); }
    explicit operator bool() const { return handle_.has_value(); }

    // Gives the handle up to the caller, who closes it from now on.
    Handle Release() { return *std::exchange(handle_, std::nullopt); }

    // Closes now, for callers that must know whether closing worked: the closer's own
    // status, or the status's default when nothing was owned.
    Status Close() {
        if (!handle_) return Status{};
        return closer_(*std::exchange(handle_, std::nullopt));
    }

private:
    std::optional<Handle> handle_;
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
