#include "result_lines.h"

namespace vemor {
namespace {

constexpr std::string_view kSessionMark = ">>";

std::string SessionEntry(const std::string& label, const std::string& state) {
    return "  " + std::string(kSessionMark) + " " + label + "    [" + state + "]";
}

}  // namespace

std::string ClientEntry(const std::string& first_name, const std::string& name) { return first_name + " " + name; }

std::string PendingEntry(const std::string& label, const std::string& norm_data) {
    return SessionEntry(label, "Patch ausführen (" + norm_data + ")");
}

std::string PatchedEntry(const std::string& label) { return SessionEntry(label, "Patch erfolgreich ausgeführt"); }

std::string NotPatchedEntry(const std::string& label, const std::string& read_back) {
    return SessionEntry(label, "Patch NICHT ausgeführt (" + read_back + ")");
}

std::string EmptyResultLine(std::int32_t session_count) {
    return "Keine Sitzung für diesen Patch gefunden (0 von " + std::to_string(session_count) + ") ";
}

bool IsSessionEntry(std::string_view line) { return line.find(kSessionMark) != std::string_view::npos; }

bool EndsWithClientEntry(const ResultList& list) {
    return list.Count() > 0 && !IsSessionEntry(list.Line(list.Count() - 1));
}

}  // namespace vemor
