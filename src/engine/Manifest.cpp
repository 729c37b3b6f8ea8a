#include "engine/Manifest.h"

bool ValidateManifest(const uint8_t*, size_t) { return false; }
size_t ParseManifest(const uint8_t*, size_t, ManifestTable&) { return 0; }
