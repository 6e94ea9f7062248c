#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "result_list.h"

// The lines of the result list. Their texts live here and nowhere else.
namespace vemor {

// A client: its first name, one blank, its name.
std::string ClientEntry(const std::string& first_name, const std::string& name);

// A session waiting for the patch, with its norm-data flag as read.
std::string PendingEntry(const std::string& label, const std::string& norm_data);
// A session the patch set to 1.
std::string PatchedEntry(const std::string& label);
// A session the patch did not reach, with the flag as read back.
std::string NotPatchedEntry(const std::string& label, const std::string& read_back);

// The only line of a list in which no session waits, with the sessions examined.
std::string EmptyResultLine(std::int32_t session_count);

// Whether line is a session entry. ">>" anywhere in the line counts, not only where a session
// entry puts it: the tidying of the list has always tested so, and a client entry whose own
// text holds ">>" is meant to stay.
bool IsSessionEntry(std::string_view line);

// Whether the list ends with a client entry under which no session entry followed.
bool EndsWithClientEntry(const ResultList& list);

}  // namespace vemor
