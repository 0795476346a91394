// The error the main flow raises; its text is what the standard error display shows.
#pragma once
#include <stdexcept>
#include <string>

namespace swt {

class Error : public std::runtime_error {
public:
    explicit Error(std::wstring message) : std::runtime_error("swt::Error"), message_(std::move(message)) {}
    const std::wstring& message() const noexcept { return message_; }

private:
    std::wstring message_;
};

}  // namespace swt
