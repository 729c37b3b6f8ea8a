#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "manifest/Manifest.h"

// The programs that run from installDir while the setup would replace its files, each once and
// as the user should see it: by the full, long path of its image, or, for a process that cannot
// be opened (another user's, usually), by its file name and process ID when that name is one of
// the programs the manifest lists and installDir holds already. A process counts when its image,
// as reported or made long, lies inside installDir's long path or its final path, so that a
// short name, a junction or a substituted drive still matches; the setup's own process never
// does. Each is written to the log.
std::vector<std::string> FindRunningPrograms(const std::string& installDir,
                                             const ManifestTable& table, size_t count);
