#include "addressing/hosts.h"

const Text imageHost = TEXTBOOK_IMAGE_HOST;
const Text siteHost = TEXTBOOK_SITE_HOST;
