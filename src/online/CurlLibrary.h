#pragma once
// libcurl, opened by the web worker the first time it transfers anything rather than linked into
// the program: mapping and relocating it and the libraries it pulls in (TLS, compression, name
// lookup) cost a start that never goes online more than all of the rest of its linking.
// Include this instead of <curl/curl.h> and call through CurlLibrary().

#ifndef CURL_DISABLE_TYPECHECK
// The type-checking wrappers call the linked functions by name.
#define CURL_DISABLE_TYPECHECK
#endif
#include <curl/curl.h>

#include <string>
#include <vector>

struct CurlFunctions {
    CURLcode (*globalInit)(long flags) = nullptr;
    void (*globalCleanup)() = nullptr;
    CURL* (*easyInit)() = nullptr;
    void (*easyCleanup)(CURL* handle) = nullptr;
    void (*easyReset)(CURL* handle) = nullptr;
    CURLcode (*easySetopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*easyGetinfo)(CURL* handle, CURLINFO info, ...) = nullptr;
    CURLcode (*easyPerform)(CURL* handle) = nullptr;
    const char* (*easyStrerror)(CURLcode code) = nullptr;
};

// Opens the library once (safe from any thread); null when it is missing or lacks a function, which
// callers treat as no network at all.
const CurlFunctions* LoadCurlLibrary();
// The functions once LoadCurlLibrary has succeeded.
const CurlFunctions& CurlLibrary();
// The last LoadCurlLibrary found no usable library.
bool CurlLibraryMissing();
// The file names the library is looked for under, in order; empty restores the platform's own.
// Other names than the last ones make the next LoadCurlLibrary look again. Call while no transfer
// runs.
void SetCurlLibraryNames(std::vector<std::string> names);
