#include "app/window_operations.h"

#include <QString>
#include <string_view>
#include <utility>

#include "services/gbk.h"

namespace {

MainWindow*& registeredWindow() {
    static MainWindow* window = nullptr;
    return window;
}

std::string_view asView(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// A character without a GBK counterpart becomes '?', so the rest of what the user typed survives.
Text toGbk(const QString& shown) {
    const QByteArray utf8 = shown.toUtf8();
    if (auto whole = utf8ToGbk(asView(utf8))) return *whole;
    Text gbk;
    for (const auto codePoint : shown.toUcs4()) {
        const auto character = static_cast<char32_t>(codePoint);
        const QByteArray one = QString::fromUcs4(&character, 1).toUtf8();
        gbk += utf8ToGbk(asView(one)).value_or("?");
    }
    return gbk;
}

// A byte sequence that is no GBK character is shown as the replacement character.
QString fromGbk(const Text& gbk) {
    if (auto whole = gbkToUtf8(gbk)) return QString::fromStdString(*whole);
    QString shown;
    for (std::size_t i = 0; i < gbk.size();) {
        const bool pair = static_cast<unsigned char>(gbk[i]) >= 0x80 && i + 1 < gbk.size();
        const std::size_t length = pair ? 2 : 1;
        const auto one = gbkToUtf8(gbk.substr(i, length));
        shown += one ? QString::fromStdString(*one) : QString(QChar::ReplacementCharacter);
        i += length;
    }
    return shown;
}

}  // namespace

MainWindow& mainWindow() { return *registeredWindow(); }

void registerMainWindow(MainWindow* window) { registeredWindow() = window; }

void unregisterMainWindow(const MainWindow* window) {
    if (registeredWindow() == window) registeredWindow() = nullptr;
}

std::int32_t selectedIndex(const QComboBox& list) { return list.currentIndex(); }

Text itemText(const QComboBox& list, std::int32_t index) {
    if (index < 0 || index >= list.count()) return {};
    return toGbk(list.itemText(index));
}

Text text(const QLineEdit& box) { return toGbk(box.text()); }

void text(QLineEdit& box, const Text& value) { box.setText(fromGbk(value)); }

Bytes picture(const PictureBox& box) { return box.picture(); }

void picture(PictureBox& box, Bytes value) { box.setPicture(std::move(value)); }
