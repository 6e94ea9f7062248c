#pragma once

#include <string>

#include "failure.h"
#include "file_problem.h"

// The failures the program raises, with the words the user reads in the error report. Each
// wording is here and nowhere else.
namespace vemor {

Failure TypeMismatch(const std::string& text);           // text is no number
Failure OutsideWholeNumber16(const std::string& text);   // a number beyond 16 bits
Failure TooManySessions();                                // the session count runs past 32 bits
Failure BadFileName(const std::string& path, const platform::FileProblem& problem);
Failure FileNotFound(const std::string& path);
Failure CannotStart(const std::string& path, const std::string& reason);
Failure IndexOutOfRange();
Failure OutOfMemory();
Failure Unexpected(const std::string& what);

}  // namespace vemor
