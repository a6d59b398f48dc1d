#include "common/host/TlsFailure.h"

namespace zorva {
namespace {

bool Mentions(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// OpenSSL's verification texts, as libcurl copies them into its error buffer.
TlsFailure VerificationFailure(std::string_view error) {
    if (Mentions(error, "expired")) return TlsFailure::Expired;
    if (Mentions(error, "not yet valid")) return TlsFailure::NotYetValid;
    if (Mentions(error, "issuer") || Mentions(error, "self-signed") ||
        Mentions(error, "self signed") || Mentions(error, "unable to verify")) {
        return TlsFailure::UnknownIssuer;
    }
    if (Mentions(error, "host name") || Mentions(error, "subject name")) {
        return TlsFailure::NameMismatch;
    }
    return TlsFailure::Unverified;
}

std::string_view Reason(TlsFailure failure) {
    switch (failure) {
        case TlsFailure::Expired:
            return "証明書の有効期限が切れている";
        case TlsFailure::NotYetValid:
            return "証明書の有効期間がまだ始まっていない";
        case TlsFailure::UnknownIssuer:
            return "証明書の発行元（CA）が信頼されていない";
        case TlsFailure::NameMismatch:
            return "証明書のホスト名が接続先と一致しない";
        case TlsFailure::PinnedKeyDiffers:
            return "証明書の公開鍵がPINNEDKEYと一致しない";
        case TlsFailure::CaFileUnreadable:
            return "CAFILEを読み取れない";
        case TlsFailure::Refused:
            return "サーバーがTLSを受け付けない";
        case TlsFailure::Handshake:
            return "TLSのハンドシェイクに失敗した";
        case TlsFailure::Unverified:
            break;
    }
    return "証明書を検証できない";
}

}  // namespace

std::optional<TlsFailure> ClassifyTlsFailure(CURLcode code, std::string_view curlError) {
    switch (code) {
        case CURLE_PEER_FAILED_VERIFICATION:
            return VerificationFailure(curlError);
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return TlsFailure::PinnedKeyDiffers;
        case CURLE_SSL_CACERT_BADFILE:
            return TlsFailure::CaFileUnreadable;
        case CURLE_USE_SSL_FAILED:
            return TlsFailure::Refused;
        case CURLE_SSL_CONNECT_ERROR:
            // Some verification failures surface as a failed handshake.
            return Mentions(curlError, "certificate") ? VerificationFailure(curlError)
                                                      : TlsFailure::Handshake;
        default:
            return std::nullopt;
    }
}

std::string TlsFailureText(TlsFailure failure, std::string_view curlError) {
    std::string text = "TLS接続を中止しました（";
    text += Reason(failure);
    text += "）";
    if (!curlError.empty()) {
        text += "：";
        text += curlError;
    }
    return text;
}

}  // namespace zorva
