#include <cstdint>

#include "addressing/page_address.h"
#include "app/window_operations.h"
#include "commands/page_commands.h"
#include "services/http.h"
#include "services/text.h"

namespace {

void showSteppedPage(std::int32_t step) {
    QLineEdit& pageBox = *mainWindow().编辑框1;
    const std::int32_t page = steppedPage(toInteger(text(pageBox)), step);
    showPage(page);
    // Written only after the fetch, whatever it returned: the box names the page just asked for.
    text(pageBox, toText(page));
}

}  // namespace

CatalogueSelection readSelection() {
    const MainWindow& window = mainWindow();
    const auto label = [](const QComboBox& list) { return itemText(list, selectedIndex(list)); };
    return {label(*window.组合框4), label(*window.组合框3), label(*window.组合框1),
            label(*window.组合框2)};
}

void showPage(std::int32_t page) {
    const Text address = pageAddress(volumeFolderAddress(readSelection()), page);
    picture(*mainWindow().图片框1, httpReadFile(address));
}

std::int32_t steppedPage(std::int32_t page, std::int32_t step) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(page) +
                                     static_cast<std::uint32_t>(step));
}

void onViewClicked() { showPage(toInteger(text(*mainWindow().编辑框1))); }

void onNextPageClicked() { showSteppedPage(1); }

void onPreviousPageClicked() { showSteppedPage(-1); }
