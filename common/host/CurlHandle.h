#pragma once
// Owning wrappers for the libcurl handles the host session holds.

#include <curl/curl.h>

#include <memory>
#include <string>

namespace zorva {

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

// An easy handle; empty when libcurl could not make one.
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

// Initialises libcurl once per process (thread-safe) and makes an easy handle.
CurlEasy MakeCurlEasy();

// A list of strings for options such as CURLOPT_QUOTE. Move-only.
class CurlList {
public:
    CurlList() = default;
    CurlList(CurlList&& other) noexcept : head_(other.head_) { other.head_ = nullptr; }
    CurlList& operator=(CurlList&& other) noexcept;
    CurlList(const CurlList&) = delete;
    CurlList& operator=(const CurlList&) = delete;
    ~CurlList() { curl_slist_free_all(head_); }

    // False when libcurl could not allocate the entry.
    bool Append(const std::string& text);
    curl_slist* get() const { return head_; }

private:
    curl_slist* head_ = nullptr;
};

}  // namespace zorva
