#include "app/command_bindings.h"

#include "commands/page_commands.h"

void bindCommands(MainWindow& window) {
    QObject::connect(window.按钮1, &QPushButton::clicked, &window, onDownloadClicked);
    QObject::connect(window.按钮2, &QPushButton::clicked, &window, onViewClicked);
    QObject::connect(window.按钮3, &QPushButton::clicked, &window, onNextPageClicked);
    QObject::connect(window.按钮4, &QPushButton::clicked, &window, onPreviousPageClicked);
    QObject::connect(window.按钮5, &QPushButton::clicked, &window, onOpenSiteClicked);
}
