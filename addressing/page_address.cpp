#include "addressing/page_address.h"

#include "addressing/hosts.h"
#include "addressing/pinyin_segment.h"
#include "services/text.h"

Text pageAddressPrefix() { return joinTexts({"http://", imageHost, "/img/jiaocai/"}); }

// Grade and volume share one path segment on the image host: .../sannianjixiace/.
Text volumeFolderAddress(const CatalogueSelection& selection) {
    const Text subject = toPinyinSegment(selection.subject);
    const Text edition = toPinyinSegment(selection.edition);
    const Text grade = toPinyinSegment(selection.grade);
    const Text volume = toPinyinSegment(selection.volume);
    return joinTexts({pageAddressPrefix(), subject, "/", edition, "/", grade, volume, "/"});
}

Text pageAddress(const Text& volumeFolder, std::int32_t page) {
    return joinTexts({volumeFolder, toText(page), ".jpg"});
}

Text savedFileName(const Text& directory, const CatalogueSelection& selection, std::int32_t page) {
    return joinTexts({directory, "/", selection.subject, selection.edition, selection.grade,
                      selection.volume, toText(page), ".jpg"});
}
