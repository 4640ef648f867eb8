// The one error type: a code that selects a fixed message of the string table.
#pragma once

#include <exception>
#include <string>

namespace vx {

class IPlatform;

class CMyException : public std::exception {
public:
    explicit CMyException(int code) : m_nError(code) {}

    // The text Report shows: "Error number <code>", a newline and the code's message.
    // Empty for codes of 0 and below, which report nothing.
    std::string Message() const;
    // Shows Message() in a message box with only an OK button and no icon.
    void Report(IPlatform& ui) const;

    const char* what() const noexcept override { return "CMyException"; }

    int m_nError;
};

} // namespace vx
