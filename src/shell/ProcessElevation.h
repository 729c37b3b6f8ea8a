#pragma once

#include <windows.h>

enum class Elevation { kUnknown, kElevated, kNotElevated };

// Whether process (opened with PROCESS_QUERY_LIMITED_INFORMATION at least) runs elevated.
Elevation ProcessElevation(HANDLE process);
