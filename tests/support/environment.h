#pragma once

// Only the POSIX build takes the user folders from the environment; Windows has no such
// test, and its C library lacks setenv.
#ifndef _WIN32

#include <cstdlib>
#include <optional>
#include <string>

namespace vemor::test {

// Sets (or, given nothing, removes) an environment variable, and restores it with the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        Put(value);
    }
    ~ScopedVariable() { Put(old_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    void Put(const std::optional<std::string>& value) const {
        if (value) setenv(name_.c_str(), value->c_str(), 1);
        else unsetenv(name_.c_str());
    }

    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace vemor::test

#endif
