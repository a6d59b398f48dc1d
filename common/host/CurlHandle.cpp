#include "common/host/CurlHandle.h"

#include <mutex>

namespace zorva {

CurlEasy MakeCurlEasy() {
    static std::once_flag initialised;
    static bool ready = false;
    std::call_once(initialised, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    if (!ready) return CurlEasy{};
    return CurlEasy{curl_easy_init()};
}

CurlList& CurlList::operator=(CurlList&& other) noexcept {
    if (this != &other) {
        curl_slist_free_all(head_);
        head_ = other.head_;
        other.head_ = nullptr;
    }
    return *this;
}

bool CurlList::Append(const std::string& text) {
    curl_slist* grown = curl_slist_append(head_, text.c_str());
    if (grown == nullptr) return false;
    head_ = grown;
    return true;
}

}  // namespace zorva
