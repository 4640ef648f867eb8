// The one error type: a code that selects a fixed message of the string table.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace vx {

class IPlatform;

class CMyException : public std::exception {
public:
    explicit CMyException(int code) : m_nError(code) {}
    CMyException(int code, std::string details)
        : m_nError(code), m_strDetails(std::move(details)) {}

    // "<file name>: <reason>", the line shown beneath the coded message.
    static std::string FileDetails(const std::string& path, const std::string& reason);

    // The text Report shows: "Error number <code>", a newline and the code's message.
    // Empty for codes of 0 and below, which report nothing.
    std::string Message() const;
    // Shows Message() in a message box with only an OK button and no icon, and Details()
    // beneath it.
    void Report(IPlatform& ui) const;

    // What went wrong and with which file, in plain words; empty when nothing more is known.
    const std::string& Details() const { return m_strDetails; }
    void SetDetails(std::string details) { m_strDetails = std::move(details); }

    const char* what() const noexcept override { return "CMyException"; }

    int m_nError;

private:
    std::string m_strDetails;
};

} // namespace vx
