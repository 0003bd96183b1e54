#pragma once

#include "services/types.h"

// Asks the desktop to open `url` with its default handler; returns at once, whatever happens.
void openUrl(const Text& url);
