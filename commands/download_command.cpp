#include <cstdint>
#include <utility>

#include "addressing/page_address.h"
#include "app/window_operations.h"
#include "commands/page_commands.h"
#include "services/files.h"
#include "services/http.h"
#include "services/run_directory.h"
#include "services/text.h"

namespace {

void downloadPage(const Text& volumeFolder, std::int32_t page) {
    PictureBox& box = *mainWindow().图片框1;
    FetchOutcome fetched = httpFetch(pageAddress(volumeFolder, page));
    // Moved, not copied: a page is a megabyte or more, and a fresh copy of it per page costs
    // more than the transfer itself.
    const bool complete = fetched.complete;
    picture(box, std::move(fetched.body));
    // A page that did not arrive whole with a success status is not saved, so a failed fetch
    // never replaces a good copy from an earlier download with an empty file or an error page.
    if (!complete) return;
    const Text name = savedFileName(runDirectory(), readSelection(), page);
    writeFile(name, picture(box));
}

}  // namespace

void onDownloadClicked() {
    const std::int32_t pageCount = toInteger(text(*mainWindow().编辑框1));
    const Text volumeFolder = volumeFolderAddress(readSelection());
    // The counter is wider than a page number so that a count of 2147483647 ends the loop.
    for (std::int64_t page = 1; page <= pageCount; ++page) {
        downloadPage(volumeFolder, static_cast<std::int32_t>(page));
    }
}
