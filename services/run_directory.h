#pragma once

#include "services/types.h"

// Records the directory that holds the running program and makes it the working directory.
// Called once at start-up; false when the directory could not be determined or entered.
bool recordRunDirectory();

// The recorded directory, without a trailing separator, as a GBK text.
Text runDirectory();
