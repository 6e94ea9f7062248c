#pragma once

#include <string>
#include <vector>

namespace vemor::fuzz {

// The lines of bytes, cut at CR LF, CR or LF, without their line ends; a UTF-8 byte-order
// mark is part of the first line, as Windows reads it.
inline std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", begin);
        if (end == std::string::npos) end = bytes.size();
        lines.push_back(bytes.substr(begin, end - begin));
        begin = end;
        if (begin < bytes.size() && bytes[begin] == '\r') {
            ++begin;
            if (begin < bytes.size() && bytes[begin] == '\n') ++begin;
        } else if (begin < bytes.size()) {
            ++begin;
        }
    }
    return lines;
}

// The lines that differ between before and after: what lies between their longest common
// beginning and their longest common end.
struct Difference {
    std::vector<std::string> removed, added;
};

inline Difference Compare(const std::string& before, const std::string& after) {
    const auto a = Lines(before), b = Lines(after);
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    return {{a.begin() + head, a.end() - tail}, {b.begin() + head, b.end() - tail}};
}

// Whether line mentions word, ignoring ASCII letter case and the NULs of UTF-16 text.
inline bool Mentions(const std::string& line, const std::string& word) {
    std::string folded;
    for (const char c : line)
        if (c != '\0') folded += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    std::string lower;
    for (const char c : word) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return folded.find(lower) != std::string::npos;
}

}  // namespace vemor::fuzz
