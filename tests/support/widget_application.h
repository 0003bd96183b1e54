#pragma once

#include <QApplication>

// The one QApplication of a widget test program, created on first use and kept to the end.
QApplication& widgetApplication();
