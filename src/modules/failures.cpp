#include "failures.h"

namespace vemor {
namespace {

// The system's words where it gave some, else its number.
std::string Reason(const platform::FileProblem& problem) {
    return problem.text.empty() ? "Systemfehler " + std::to_string(problem.code) : problem.text;
}

}  // namespace

Failure TypeMismatch(const std::string& text) {
    return Failure(failure_number::kTypeMismatch, "Typen unverträglich: \"" + text + "\" ist keine Zahl");
}

Failure OutsideWholeNumber16(const std::string& text) {
    return Failure(failure_number::kOverflow, "Überlauf: \"" + text + "\" liegt nicht zwischen -32768 und 32767");
}

Failure TooManySessions() { return Failure(failure_number::kOverflow, "Überlauf: zu viele Sitzungen"); }

Failure BadFileName(const std::string& path, const platform::FileProblem& problem) {
    return Failure(failure_number::kBadFileName, "Dateiname oder -nummer falsch: " + path + " (" + Reason(problem) + ")");
}

Failure FileNotFound(const std::string& path) {
    return Failure(failure_number::kFileNotFound, "Datei nicht gefunden: " + path);
}

Failure CannotStart(const std::string& path, const std::string& reason) {
    return Failure(failure_number::kInvalidCall, "Das Programm kann nicht gestartet werden: " + path + " (" + reason + ")");
}

Failure IndexOutOfRange() {
    return Failure(failure_number::kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs");
}

Failure OutOfMemory() { return Failure(failure_number::kOutOfMemory, "Nicht genügend Speicher"); }

Failure Unexpected(const std::string& what) {
    return Failure(failure_number::kUnexpected, what.empty() ? "Unerwarteter Fehler" : "Unerwarteter Fehler: " + what);
}

}  // namespace vemor
