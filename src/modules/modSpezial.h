#pragma once

// modSpezial: one run of the scan with its list tidied, and the registry lookup.

// ---- A scan run and its tidied result list: refresh_session_list.cpp
#include "refresh_session_list.h"

// ---- The lines of the result list: result_lines.cpp
#include "result_lines.h"

// ---- The registry lookup: read_registry_value.cpp
#include "read_registry_value.h"
