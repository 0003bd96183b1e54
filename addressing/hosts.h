#pragma once

#include "services/types.h"

// The two hosts the program talks to, fixed when it is built.
extern const Text imageHost;  // holds the page images
extern const Text siteHost;   // serves the textbook index page
