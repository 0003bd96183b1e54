#include "tests/support/paths.h"

std::string sourceDir() { return TEXTBOOK_SOURCE_DIR; }
std::string binaryDir() { return TEXTBOOK_BINARY_DIR; }
std::string pythonExecutable() { return TEXTBOOK_PYTHON; }
