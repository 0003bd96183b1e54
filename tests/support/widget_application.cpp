#include "tests/support/widget_application.h"

// Never destroyed: Qt's own global objects (input devices, fonts) are torn down at exit before
// a static application would be, and the application's destructor would then reach into them.
QApplication& widgetApplication() {
    static int argc = 1;
    static char name[] = "textbook-pages-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}
