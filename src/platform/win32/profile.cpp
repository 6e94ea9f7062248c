#include <windows.h>

#include <vector>

#include "profile.h"
#include "win32/long_path.h"
#include "win32/wide.h"

namespace vemor::platform {

// The profile functions read the file for every value; there is nothing for a step to keep.
struct ProfileStep::State {};

ProfileStep::ProfileStep(const std::string&, Use) {}

ProfileStep::~ProfileStep() = default;

std::optional<FileProblem> ProfileStep::ReadProblem() const { return std::nullopt; }

std::optional<FileProblem> ProfileStep::WriteProblem() const { return std::nullopt; }

ProfileText ReadProfileText(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& fallback,
                             std::size_t size) {
    std::vector<wchar_t> buffer(size + 1, L' ');
    const DWORD count = GetPrivateProfileStringW(
        win32::Wide(section).c_str(), win32::Wide(key).c_str(), win32::Wide(fallback).c_str(),
        buffer.data(), static_cast<DWORD>(size), win32::ProfilePath(file).c_str());
    return {win32::Narrow(std::wstring_view(buffer.data(), count)), count};
}

WriteResult WriteProfileText(const std::string& file, const std::string& section,
                             const std::string& key, const std::string& value) {
    if (WritePrivateProfileStringW(win32::Wide(section).c_str(), win32::Wide(key).c_str(),
                                   win32::Wide(value).c_str(), win32::ProfilePath(file).c_str()))
        return {};
    return {FileProblem{FileProblem::Kind::kOther, GetLastError()}};
}

}  // namespace vemor::platform
