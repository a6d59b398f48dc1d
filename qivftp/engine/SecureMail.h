#pragma once
// The report mail over TLS ([MAIL] TLS set): libcurl's SMTP with STARTTLS or SMTPS, AUTH when a
// user is set, and the server verified as the host is (CAFILE or the system's store, TLS 1.2 or
// newer, no switch to turn it off). The message is the one the plain dialogue sends after DATA.

#include <chrono>
#include <string>

#include "common/Reporter.h"
#include "common/Settings.h"

namespace zorva::qivftp {

struct SecureMail {
    std::string server;  // [MAIL] SMTP
    int port = 25;
    MailTls tls = MailTls::StartTls;
    std::string caFile;
    std::string user;      // empty: no AUTH
    std::string password;  // never logged
    std::string sender;
    std::string recipient;
    std::string message;  // headers, blank line and body, CP932 with CR LF line ends
    std::chrono::milliseconds connectTimeout{30000};
    std::chrono::milliseconds replyTimeout{30000};
};

// Sends the mail; the server's replies go to `output` as the plain dialogue's do. A refused
// TLS connection is said with its reason; any other failure with libcurl's. True when sent.
bool SendSecureMail(const SecureMail& mail, Reporter& output);

}  // namespace zorva::qivftp
