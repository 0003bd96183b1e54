#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <cstdint>

#include "app/main_window.h"
#include "app/picture_box.h"
#include "services/types.h"

// The only way the commands touch the window. Texts cross this boundary as GBK.

// The process-wide window; valid while the program (or a test) has created one.
MainWindow& mainWindow();
// Called by the window when it is created and destroyed.
void registerMainWindow(MainWindow* window);
void unregisterMainWindow(const MainWindow* window);

// 0-based index of the selected item, -1 when none is selected.
std::int32_t selectedIndex(const QComboBox& list);
// The item's own text; empty for an index outside the list. Typed text is never returned.
Text itemText(const QComboBox& list, std::int32_t index);

Text text(const QLineEdit& box);
void text(QLineEdit& box, const Text& value);

Bytes picture(const PictureBox& box);
// The box keeps `value`; a caller that is done with its bytes moves them in instead of copying.
void picture(PictureBox& box, Bytes value);
