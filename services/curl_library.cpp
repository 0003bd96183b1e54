#include "services/curl_library.h"

#include <dlfcn.h>

namespace {

// The soname of libcurl's ABI, the same for every TLS flavour Debian builds.
constexpr const char* curlSoname = "libcurl.so.4";

template <typename Function>
bool resolve(void* handle, const char* name, Function& function) {
    void* symbol = dlsym(handle, name);
    function = reinterpret_cast<Function>(symbol);
    return symbol != nullptr;
}

bool resolveAll(CurlLibrary& l) {
    void* h = l.handle;
    return resolve(h, "curl_global_init", l.global_init) &&
           resolve(h, "curl_global_cleanup", l.global_cleanup) &&
           resolve(h, "curl_easy_init", l.easy_init) &&
           resolve(h, "curl_easy_cleanup", l.easy_cleanup) &&
           resolve(h, "curl_easy_reset", l.easy_reset) &&
           resolve(h, "curl_easy_setopt", l.easy_setopt) &&
           resolve(h, "curl_easy_getinfo", l.easy_getinfo) &&
           resolve(h, "curl_multi_init", l.multi_init) &&
           resolve(h, "curl_multi_cleanup", l.multi_cleanup) &&
           resolve(h, "curl_multi_add_handle", l.multi_add_handle) &&
           resolve(h, "curl_multi_remove_handle", l.multi_remove_handle) &&
           resolve(h, "curl_multi_perform", l.multi_perform) &&
           resolve(h, "curl_multi_poll", l.multi_poll) &&
           resolve(h, "curl_multi_info_read", l.multi_info_read) &&
           resolve(h, "curl_slist_append", l.slist_append) &&
           resolve(h, "curl_slist_free_all", l.slist_free_all);
}

}  // namespace

std::optional<CurlLibrary> loadCurlLibrary() {
    CurlLibrary library;
    library.handle = dlopen(curlSoname, RTLD_NOW | RTLD_LOCAL);
    if (library.handle == nullptr) return std::nullopt;
    if (resolveAll(library)) return library;
    unloadCurlLibrary(library);
    return std::nullopt;
}

void unloadCurlLibrary(const CurlLibrary& library) {
    if (library.handle != nullptr) dlclose(library.handle);
}
