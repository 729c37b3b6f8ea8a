#pragma once

#include <windows.h>

#include <string>

// The system's description of an error code from its message table, or empty text when it has
// none.
std::string PlainSystemErrorText(DWORD code);

// The system's text for the error of a failed download: the server's own response text for
// ERROR_INTERNET_EXTENDED_ERROR, else the system's message table, else wininet.dll's messages;
// empty text when none has one.
std::string InternetErrorText(DWORD code);
