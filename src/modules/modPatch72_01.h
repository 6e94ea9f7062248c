#pragma once

// modPatch72_01: the scan of the client-data tree, access to profile files, the user's
// folders and the error report.

// ---- The scan of the client-data tree: scan_sessions.cpp
#include "scan_sessions.h"

// ---- Profile values, read and written: profile_values.cpp
#include "profile_values.h"

// ---- The user's folders: user_folders.cpp
#include "user_folders.h"

// ---- The error report: error_report.cpp
#include "error_report.h"
