#pragma once

#include <string>

// Where the tests find the project's files and its build.
std::string sourceDir();
std::string binaryDir();
std::string pythonExecutable();
