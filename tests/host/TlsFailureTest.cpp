#include "common/host/TlsFailure.h"

#include <gtest/gtest.h>

namespace zorva {
namespace {

struct TlsCase {
    CURLcode code;
    const char* curlError;  // as libcurl 7.88 with OpenSSL 3 words it
    std::optional<TlsFailure> expected;
};

class TlsFailureClassification : public ::testing::TestWithParam<TlsCase> {};

TEST_P(TlsFailureClassification, NamesTheReason) {
    EXPECT_EQ(ClassifyTlsFailure(GetParam().code, GetParam().curlError), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CurlResults, TlsFailureClassification,
    ::testing::Values(
        TlsCase{CURLE_PEER_FAILED_VERIFICATION, "SSL certificate problem: certificate has expired",
                TlsFailure::Expired},
        TlsCase{CURLE_PEER_FAILED_VERIFICATION,
                "SSL certificate problem: unable to get local issuer certificate",
                TlsFailure::UnknownIssuer},
        TlsCase{CURLE_PEER_FAILED_VERIFICATION,
                "SSL certificate problem: self-signed certificate in certificate chain",
                TlsFailure::UnknownIssuer},
        TlsCase{CURLE_PEER_FAILED_VERIFICATION,
                "SSL: no alternative certificate subject name matches target host name "
                "'127.0.0.1'",
                TlsFailure::NameMismatch},
        TlsCase{CURLE_SSL_PINNEDPUBKEYNOTMATCH, "SSL: public key does not match pinned public key",
                TlsFailure::PinnedKeyDiffers},
        TlsCase{CURLE_SSL_CACERT_BADFILE, "error setting certificate file: /x",
                TlsFailure::CaFileUnreadable},
        TlsCase{CURLE_USE_SSL_FAILED, "", TlsFailure::Refused},
        TlsCase{CURLE_COULDNT_CONNECT, "Failed to connect", std::nullopt},
        TlsCase{CURLE_LOGIN_DENIED, "Access denied: 530", std::nullopt}));

}  // namespace
}  // namespace zorva
