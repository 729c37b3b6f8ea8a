#include "ProcessElevation.h"

#include "framework/Handles.h"

Elevation ProcessElevation(HANDLE process) {
  KernelHandle token;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  if (!::OpenProcessToken(process, TOKEN_QUERY, token.put()) ||
      !::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size)) {
    return Elevation::kUnknown;
  }
  return elevation.TokenIsElevated ? Elevation::kElevated : Elevation::kNotElevated;
}
