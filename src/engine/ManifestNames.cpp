#include "engine/Manifest.h"
