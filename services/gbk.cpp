#include "services/gbk.h"

#include <iconv.h>

#include <cerrno>

namespace {

// glibc's "GBK" converter is code page 936: it is the module that "CP936", "MS936" and
// "WINDOWS-936" are aliases of, and it maps the single byte 0x80 to the euro sign as Windows
// does. No "//TRANSLIT" or "//IGNORE": a character without a counterpart makes the whole
// conversion fail instead of being replaced or silently dropped.
constexpr const char* gbkCharset = "GBK";
constexpr const char* utf8Charset = "UTF-8";

// One conversion of `input` with a fresh converter; nullopt on an invalid or incomplete
// sequence or a character that the target cannot write.
std::optional<std::string> convert(std::string_view input, const char* to, const char* from) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    // Three output bytes per input byte cover the worst case (GBK 0x80 -> UTF-8 euro sign);
    // the loop still grows the buffer should a converter ever need more.
    std::string output(input.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t written = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* out = output.data() + written;
        std::size_t outLeft = output.size() - written;
        const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        written = output.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) continue;
        if (errno != E2BIG) {
            ok = false;
            break;
        }
        output.resize(output.size() * 2);
    }
    iconv_close(converter);
    if (!ok) return std::nullopt;
    output.resize(written);
    return output;
}

}  // namespace

std::optional<std::string> gbkToUtf8(const Text& gbk) {
    return convert(gbk, utf8Charset, gbkCharset);
}

std::optional<Text> utf8ToGbk(std::string_view utf8) {
    return convert(utf8, gbkCharset, utf8Charset);
}
