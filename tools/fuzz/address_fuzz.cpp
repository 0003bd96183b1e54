// The page address and the saved-file name composed from arbitrary labels, directory and page
// number: fixed frame, fields in order, nothing lost or escaped. The file name also goes
// through the GBK to UTF-8 conversion that the file service applies.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "addressing/page_address.h"
#include "addressing/pinyin_segment.h"
#include "services/gbk.h"
#include "services/text.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool startsWith(const Text& t, const Text& prefix) {
    return t.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const Text& t, const Text& suffix) {
    return t.size() >= suffix.size() &&
           t.compare(t.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The first four bytes are the page number; the rest splits at 0x00 into the directory and the
// four labels (missing ones empty).
struct Input {
    std::int32_t page = 0;
    std::vector<Text> fields;
};

Input split(const std::uint8_t* data, std::size_t size) {
    Input input;
    std::uint32_t page = 0;
    const std::size_t head = size < 4 ? size : 4;
    for (std::size_t i = 0; i < head; ++i) page |= std::uint32_t{data[i]} << (8 * i);
    input.page = static_cast<std::int32_t>(page);
    const Text rest(reinterpret_cast<const char*>(data) + head, size - head);
    std::size_t start = 0;
    while (input.fields.size() < 4 && start <= rest.size()) {
        const std::size_t end = std::min(rest.find('\0', start), rest.size());
        input.fields.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    input.fields.push_back(start < rest.size() ? rest.substr(start) : Text());
    input.fields.resize(5);
    return input;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Input input = split(data, size);
    const CatalogueSelection selection{input.fields[0], input.fields[1], input.fields[2],
                                       input.fields[3]};
    const Text& directory = input.fields[4];
    const Text page = toText(input.page);

    const Text folder = volumeFolderAddress(selection);
    const Text segments =
        toPinyinSegment(selection.subject) + "/" + toPinyinSegment(selection.edition) + "/" +
        toPinyinSegment(selection.grade) + toPinyinSegment(selection.volume) + "/";
    require(folder == pageAddressPrefix() + segments);
    require(startsWith(pageAddressPrefix(), "http://"));
    require(endsWith(pageAddressPrefix(), "/img/jiaocai/"));

    const Text address = pageAddress(folder, input.page);
    require(startsWith(address, pageAddressPrefix()));
    require(endsWith(address, "/" + page + ".jpg"));
    require(address == folder + page + ".jpg");

    const Text name = savedFileName(directory, selection, input.page);
    require(name == directory + "/" + selection.subject + selection.edition + selection.grade +
                        selection.volume + page + ".jpg");
    if (const auto utf8 = gbkToUtf8(name)) {
        require(endsWith(*utf8, page + ".jpg"));
        require(utf8ToGbk(*utf8) == name);
    }
    return 0;
}
