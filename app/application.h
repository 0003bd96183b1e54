#pragma once

// The program from start to end: makes its own directory the working directory, shows the window
// centred and runs the event loop until the window is closed. Command-line arguments are not
// read. Returns the exit status: 0 once the window has been closed, -1 when no window can be
// opened (after one line on standard error).
int runApplication(int argc, char** argv);
