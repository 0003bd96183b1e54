#pragma once

#include <string>
#include <string_view>

#include "services/types.h"

// Records the directory that holds the running program and makes it the working directory.
// Called once at start-up; false when the directory could not be determined or entered.
bool recordRunDirectory();

// The recorded directory, without a trailing separator, as a GBK text. Callers append "/" and
// a file name. Until the directory is recorded, and when its path cannot be written in GBK,
// this is "." (the working directory, which start-up made that directory), so saved pages
// still land beside the program.
Text runDirectory();

// The part of `path` before its last "/", that separator dropped; empty without a separator.
std::string directoryOfPath(std::string_view path);

// How runDirectory names the UTF-8 directory `directory`: its GBK form, or "." when it has
// characters that GBK cannot write.
Text runDirectoryText(std::string_view directory);
