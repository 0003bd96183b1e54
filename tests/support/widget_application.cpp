#include "tests/support/widget_application.h"

QApplication& widgetApplication() {
    static int argc = 1;
    static char name[] = "textbook-pages-test";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    return application;
}
