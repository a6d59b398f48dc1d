#pragma once
// What the host's TLS certificate says, fetched for the operator to decide whether to pin it:
// subject, issuer, validity and the SHA-256 of its public key in the PINNEDKEY form.

#include <optional>
#include <string>
#include <string_view>

#include "common/Expected.h"
#include "common/host/HostSession.h"

namespace zorva {

struct HostCertificate {
    std::string subject;
    std::string issuer;
    std::string notBefore;
    std::string notAfter;
    std::string pinnedKey;  // "sha256//<base64>" of the public key
    // Why the connection's verification failed (then the key is not worth pinning), or empty.
    std::string verifyFailure;
};

// "sha256//<base64>" of a PEM certificate's public key; nullopt when it is no certificate.
std::optional<std::string> PinnedKeyOfPem(std::string_view pem);

// Connects to the endpoint with TLS (its mode, CAFILE; not its pinned key, which is what is
// being decided) and reads the certificate the host shows. Blocking: off the GUI thread.
Expected<HostCertificate> FetchHostCertificate(const HostEndpoint& endpoint);

// The lines the operator reads before saying yes.
std::string CertificateDescription(const HostCertificate& certificate);

}  // namespace zorva
