#include "services/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace {

// One conversion through iconv; nullopt when a character has no counterpart or is malformed.
std::optional<std::string> convert(const char* to, const char* from, std::string_view input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::vector<char> out(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) continue;
        if (errno != E2BIG) {
            ok = false;
            break;
        }
        size_t used = static_cast<size_t>(outPtr - out.data());
        out.resize(out.size() * 2);
        outPtr = out.data() + used;
        outLeft = out.size() - used;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return std::string(out.data(), static_cast<size_t>(outPtr - out.data()));
}

}  // namespace

std::optional<std::string> gbkToUtf8(const Text& gbk) {
    return convert("UTF-8", "GBK", gbk);
}

std::optional<Text> utf8ToGbk(std::string_view utf8) {
    return convert("GBK", "UTF-8", utf8);
}
