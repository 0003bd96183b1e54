#pragma once

#include <curl/curl.h>

#include <optional>

// The libcurl functions the HTTP client calls, looked up in the library at run time.
// Linking libcurl would load it, with its TLS, SSH, LDAP and Kerberos libraries, before the
// window can appear; most of a session's start-up went into that. It is loaded on the first
// fetch instead.
struct CurlLibrary {
    void* handle = nullptr;
    CURLcode (*global_init)(long flags) = nullptr;
    void (*global_cleanup)() = nullptr;
    CURL* (*easy_init)() = nullptr;
    void (*easy_cleanup)(CURL* easy) = nullptr;
    void (*easy_reset)(CURL* easy) = nullptr;
    CURLcode (*easy_setopt)(CURL* easy, CURLoption option, ...) = nullptr;
    CURLcode (*easy_getinfo)(CURL* easy, CURLINFO info, ...) = nullptr;
    CURLM* (*multi_init)() = nullptr;
    CURLMcode (*multi_cleanup)(CURLM* multi) = nullptr;
    CURLMcode (*multi_add_handle)(CURLM* multi, CURL* easy) = nullptr;
    CURLMcode (*multi_remove_handle)(CURLM* multi, CURL* easy) = nullptr;
    CURLMcode (*multi_perform)(CURLM* multi, int* running) = nullptr;
    CURLMcode (*multi_poll)(CURLM* multi, curl_waitfd extra[], unsigned int count, int timeoutMs,
                            int* ready) = nullptr;
    CURLMsg* (*multi_info_read)(CURLM* multi, int* queued) = nullptr;
    curl_slist* (*slist_append)(curl_slist* list, const char* text) = nullptr;
    void (*slist_free_all)(curl_slist* list) = nullptr;
};

// libcurl with every function above found; nullopt when it cannot be loaded or lacks one.
std::optional<CurlLibrary> loadCurlLibrary();

// Gives back a library that was loaded but could not be set up.
void unloadCurlLibrary(const CurlLibrary& library);
