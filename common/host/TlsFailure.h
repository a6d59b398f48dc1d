#pragma once
// Why a TLS connection (to the host or the mail server) was refused, in words an operator can
// act on: libcurl tells only a result code and an error text, and the operator has to know
// whether the certificate expired, comes from an unknown CA, names another host or differs
// from the pinned key.

#include <curl/curl.h>

#include <optional>
#include <string>
#include <string_view>

namespace zorva {

enum class TlsFailure {
    Expired,
    NotYetValid,
    UnknownIssuer,
    NameMismatch,
    PinnedKeyDiffers,
    CaFileUnreadable,
    Refused,    // the server would not start TLS (AUTH TLS or STARTTLS refused)
    Handshake,  // the handshake failed for another reason (no common version or cipher)
    Unverified,
};

// The failure behind a libcurl result and its error buffer; nullopt when the result is no TLS
// failure (a refused connection, a log-on refused after TLS).
std::optional<TlsFailure> ClassifyTlsFailure(CURLcode code, std::string_view curlError);

// "TLS接続を中止しました（<reason>）：<libcurl's text>" for the daily log and the screen.
std::string TlsFailureText(TlsFailure failure, std::string_view curlError);

}  // namespace zorva
