#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vemor {

// The ordered, unsorted list of result lines the scan fills: client entries, session
// entries and the empty-result line. The main window's list box and the command line's
// plain list both serve it.
class ResultList {
public:
    virtual ~ResultList() = default;
    virtual std::size_t Count() const = 0;
    virtual std::string Line(std::size_t index) const = 0;
    virtual void Remove(std::size_t index) = 0;
    virtual void Clear() = 0;
    virtual void Append(const std::string& line) = 0;
};

class LineList final : public ResultList {
public:
    std::size_t Count() const override { return lines_.size(); }
    std::string Line(std::size_t index) const override { return lines_.at(index); }
    void Remove(std::size_t index) override { lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index)); }
    void Clear() override { lines_.clear(); }
    void Append(const std::string& line) override { lines_.push_back(line); }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

}  // namespace vemor
