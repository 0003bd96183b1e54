#include "services/shell.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "services/gbk.h"

// xdg-open hands the URL to the desktop's default handler. It is started detached, so the
// window goes on while the browser runs, and its outcome is not looked at: without xdg-open
// nothing happens.
void openUrl(const Text& url) {
    if (url.empty()) return;
    const std::optional<std::string> utf8 = gbkToUtf8(url);
    if (!utf8) return;
    QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(*utf8)});
}
