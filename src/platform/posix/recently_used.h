#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "posix/stamp.h"

namespace vemor::platform::posix {

// The few values used last, by key: a scan touches each file and folder a few times in a
// row and then moves on, so a handful is all that ever pays off.
template <typename Value>
class RecentlyUsed {
public:
    explicit RecentlyUsed(std::size_t capacity) : capacity_(capacity) {}

    Value* Find(const std::string& key) {
        for (std::size_t i = items_.size(); i-- > 0;) {
            if (items_[i].first != key) continue;
            if (i + 1 != items_.size()) std::rotate(items_.begin() + static_cast<std::ptrdiff_t>(i),
                                                    items_.begin() + static_cast<std::ptrdiff_t>(i) + 1, items_.end());
            return &items_.back().second;
        }
        return nullptr;
    }

    Value& Put(const std::string& key, Value value) {
        if (Value* known = Find(key)) return *known = std::move(value);
        if (items_.size() == capacity_) items_.erase(items_.begin());
        items_.emplace_back(key, std::move(value));
        return items_.back().second;
    }

    void Drop(const std::string& key) {
        std::erase_if(items_, [&](const auto& item) { return item.first == key; });
    }

    void Clear() { items_.clear(); }

private:
    std::size_t capacity_;
    std::vector<std::pair<std::string, Value>> items_;  // the most recent last
};

// A copy of what was read from a file or folder, with the stamp the file or folder had then
// and whether any later change is sure to show in the stamp.
template <typename Value>
struct Kept {
    Stamp stamp;
    bool settled;
    Value value;
};

// The copies of one kind kept for every caller of the process.
template <typename Value>
struct KeptCopies {
    std::mutex lock;
    RecentlyUsed<Kept<Value>> known{16};

    static KeptCopies& Shared() {
        static KeptCopies copies;
        return copies;
    }
};

}  // namespace vemor::platform::posix
