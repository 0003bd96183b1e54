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

// Qt's image reader loads every image-format plugin installed (webp, tiff, svg and more, some
// ten libraries) the first time it reads any picture, even a PNG it decodes itself, and the
// window icon and the style's group box frame are such pictures. No plugin is needed before the
// user fetches a page, so the plugin folders stay hidden until the window has painted.
QStringList hidePluginFolders() {
    QApplication::style();  // a style that comes from a plugin is still found
    QStringList folders = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    return folders;
}

// Queued, so that the folders come back once the controls have painted too.
void showPluginFoldersAfterFirstPaint(MainWindow& window, const QStringList& folders) {
    QObject::connect(
        &window, &MainWindow::painted, &window,
        [folders] { QCoreApplication::setLibraryPaths(folders); },
        static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
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
    const QStringList pluginFolders = hidePluginFolders();

    MainWindow window;
    showPluginFoldersAfterFirstPaint(window, pluginFolders);
    QApplication::setWindowIcon(window.windowIcon());
    showCentredOnPrimaryScreen(window);
    return application.exec();
}
