#pragma once

// Whether the window platform that Qt will pick can reach its display server. Checked before
// the application object exists, because Qt aborts the process when it cannot connect.
bool windowPlatformAvailable();
