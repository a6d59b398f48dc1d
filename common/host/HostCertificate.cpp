#include "common/host/HostCertificate.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509.h>

#include <memory>

#include "common/host/CurlHandle.h"
#include "common/host/TlsFailure.h"

namespace zorva {
namespace {

template <class T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Freer<BIO, BIO_free_all>>;
using X509Ptr = std::unique_ptr<X509, Freer<X509, X509_free>>;

std::string Base64(const unsigned char* data, int size) {
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, size);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// The value of "Key:value" in libcurl's certificate information, empty when missing.
std::string CertInfoValue(const curl_slist* fields, std::string_view key) {
    for (; fields != nullptr; fields = fields->next) {
        const std::string_view field(fields->data);
        if (field.size() > key.size() && field.substr(0, key.size()) == key &&
            field[key.size()] == ':')
            return std::string(field.substr(key.size() + 1));
    }
    return {};
}

std::string BaseUrl(const HostEndpoint& endpoint) {
    std::string host = endpoint.address;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    const char* scheme = endpoint.tls == HostTls::Implicit ? "ftps://" : "ftp://";
    return scheme + host + ":" + std::to_string(endpoint.port) + "/";
}

X509Ptr ReadPem(std::string_view pem) {
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio) return nullptr;
    return X509Ptr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

// The handshake that fetches the certificate checks no dates (they belong to the chain): a
// certificate out of its dates is not worth pinning.
std::optional<TlsFailure> DateFailureOfPem(std::string_view pem) {
    const X509Ptr cert = ReadPem(pem);
    if (!cert) return std::nullopt;
    if (X509_cmp_current_time(X509_get0_notAfter(cert.get())) < 0) return TlsFailure::Expired;
    if (X509_cmp_current_time(X509_get0_notBefore(cert.get())) > 0) return TlsFailure::NotYetValid;
    return std::nullopt;
}

}  // namespace

bool CanPin(const HostCertificate& certificate) {
    return !certificate.pinnedKey.empty() && !certificate.failure;
}

std::optional<std::string> PinnedKeyOfPem(std::string_view pem) {
    const X509Ptr cert = ReadPem(pem);
    if (!cert) return std::nullopt;
    unsigned char* der = nullptr;
    const int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert.get()), &der);
    if (size <= 0) return std::nullopt;
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(der, static_cast<std::size_t>(size), digest);
    OPENSSL_free(der);
    return "sha256//" + Base64(digest, SHA256_DIGEST_LENGTH);
}

// A key no certificate can carry (the SHA-256 of nothing hashes to no real key): the handshake
// runs to its end, past libcurl's host name check, and stops at the key, before any log-on.
constexpr const char* kUnmatchableKey = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

Expected<HostCertificate> FetchHostCertificate(const HostEndpoint& endpoint) {
    if (endpoint.tls == HostTls::No)
        return MakeFailure(FailureCode::BadArgument, "TLSが設定されていない");
    CurlEasy easy = MakeCurlEasy();
    if (!easy) return MakeFailure(FailureCode::ReadFailed, "libcurlを初期化できない");
    CURL* h = easy.get();
    const std::string url = BaseUrl(endpoint);
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    // With peer verification on, OpenSSL ends the handshake of a certificate no CA vouches
    // for before libcurl sees it; the key being decided on is exactly such a certificate's.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, kUnmatchableKey);
    curl_easy_setopt(h, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(endpoint.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode code = curl_easy_perform(h);

    curl_certinfo* info = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_CERTINFO, &info) != CURLE_OK || info == nullptr ||
        info->num_of_certs < 1) {
        const std::string reason = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
        return MakeFailure(FailureCode::ReadFailed, "証明書を取得できない：" + reason);
    }
    const curl_slist* leaf = info->certinfo[0];
    HostCertificate certificate;
    certificate.subject = CertInfoValue(leaf, "Subject");
    certificate.issuer = CertInfoValue(leaf, "Issuer");
    certificate.notBefore = CertInfoValue(leaf, "Start date");
    certificate.notAfter = CertInfoValue(leaf, "Expire date");
    const std::string pem = CertInfoValue(leaf, "Cert");
    certificate.pinnedKey = PinnedKeyOfPem(pem).value_or("");
    if (code != CURLE_SSL_PINNEDPUBKEYNOTMATCH) {
        certificate.failure = ClassifyTlsFailure(code, errorText);
    } else {
        certificate.failure = DateFailureOfPem(pem);
        errorText[0] = '\0';  // only the unmatchable key spoke
    }
    if (certificate.failure)
        certificate.verifyFailure = TlsFailureText(*certificate.failure, errorText);
    return certificate;
}

std::string CertificateDescription(const HostCertificate& c) {
    std::string text = "サブジェクト：" + c.subject + "\n発行者：" + c.issuer + "\n有効期間：" +
                       c.notBefore + " ～ " + c.notAfter + "\n公開鍵（SHA-256）：" + c.pinnedKey;
    if (!c.verifyFailure.empty()) text += "\n" + c.verifyFailure;
    return text;
}

}  // namespace zorva
