#include "app/application.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "services/display.h"
#include "services/run_directory.h"

namespace {

constexpr int kStartFailed = -1;

void reportNoWindow() {
    std::fputs("textbook-pages: cannot open the window: no display is available\n", stderr);
}

// Qt ends the process with abort() when its window platform fails to start. Should that happen
// despite the check beforehand, the program still ends the way a failed start is reported.
void endOnFatalMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        reportNoWindow();
        std::_Exit(kStartFailed & 0xff);
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int runApplication(int argc, char** argv) {
    if (!windowPlatformAvailable()) {
        reportNoWindow();
        return kStartFailed;
    }
    // Should the directory stay unknown, the program still runs and saves where it was started.
    recordRunDirectory();

    static char fallbackName[] = "textbook-pages";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    qInstallMessageHandler(endOnFatalMessage);
    QApplication application(qtArgc, qtArgv);
    qInstallMessageHandler(nullptr);
    QGuiApplication::setDesktopFileName(QStringLiteral("textbook-pages"));

    MainWindow window;
    QApplication::setWindowIcon(window.windowIcon());
    showCentredOnPrimaryScreen(window);
    return application.exec();
}
