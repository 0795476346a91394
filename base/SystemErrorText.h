// The system's own words for an error code: for a log line, and for the errors that carry them.
#pragma once
#include <string>

namespace swt {

// The system's text for code, without the line break and blanks at its end; empty when the
// system has no text for it.
std::wstring SystemText(unsigned long code);

// The system's text for code on one line, followed by the code: "Zugriff verweigert. (Code 5)".
// Just "(Code n)" when the system has no text for it.
std::wstring SystemErrorText(unsigned long code);

}  // namespace swt
