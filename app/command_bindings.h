#pragma once

#include "app/main_window.h"

// Binds each button's click to its command; no other event of the window runs program code.
void bindCommands(MainWindow& window);
