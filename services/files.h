#pragma once

#include "services/types.h"

// Creates or replaces the file `name` (GBK) with `content`. The old file stays whole until the
// new content is safely in place. False when nothing was written.
bool writeFile(const Text& name, const Bytes& content);
