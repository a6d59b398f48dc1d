#pragma once
// What the host's TLS certificate says, fetched for the operator to decide whether to pin it:
// subject, issuer, validity and the SHA-256 of its public key in the PINNEDKEY form.

#include <optional>
#include <string>
#include <string_view>

#include "common/Expected.h"
#include "common/host/HostSession.h"
#include "common/host/TlsFailure.h"

namespace zorva {

struct HostCertificate {
    std::string subject;
    std::string issuer;
    std::string notBefore;
    std::string notAfter;
    std::string pinnedKey;  // "sha256//<base64>" of the public key
    // Why the key is not worth pinning (a name or dates that do not fit), or nullopt; with its
    // text for the operator.
    std::optional<TlsFailure> failure;
    std::string verifyFailure;
};

// Whether the key may become PINNEDKEY: a pinned key replaces the CA, so whoever signed the
// certificate it may be pinned, but not when it names another host or is out of its dates.
bool CanPin(const HostCertificate& certificate);

// "sha256//<base64>" of a PEM certificate's public key; nullopt when it is no certificate.
std::optional<std::string> PinnedKeyOfPem(std::string_view pem);

// Connects to the endpoint with TLS (its mode; not its CA file or pinned key: the key is what is
// being decided) and reads the certificate the host shows, then leaves before any log-on, so
// no password goes to a host being looked at. Blocking: off the GUI thread.
Expected<HostCertificate> FetchHostCertificate(const HostEndpoint& endpoint);

// The lines the operator reads before saying yes.
std::string CertificateDescription(const HostCertificate& certificate);

}  // namespace zorva
