#include "qivftp/engine/SecureMail.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/Codec.h"
#include "common/TextFields.h"
#include "common/host/CurlHandle.h"
#include "common/host/TlsFailure.h"

namespace zorva::qivftp {
namespace {

struct Upload {
    std::string_view rest;
};

size_t ReadMessage(char* buffer, size_t size, size_t count, void* data) {
    auto* upload = static_cast<Upload*>(data);
    const size_t n = std::min(size * count, upload->rest.size());
    std::memcpy(buffer, upload->rest.data(), n);
    upload->rest.remove_prefix(n);
    return n;
}

// Only the server's replies are logged: what goes out includes AUTH and its password.
int LogReplies(CURL*, curl_infotype type, char* data, size_t size, void* output) {
    if (type != CURLINFO_HEADER_IN) return 0;
    for (std::string_view line : SplitLines(std::string_view(data, size))) {
        if (!line.empty()) static_cast<Reporter*>(output)->Message(FromCp932(line));
    }
    return 0;
}

std::string MailUrl(const SecureMail& mail) {
    std::string host = mail.server;
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    const char* scheme = mail.tls == MailTls::Smtps ? "smtps://" : "smtp://";
    return scheme + host + ":" + std::to_string(mail.port);
}

long Seconds(std::chrono::milliseconds duration) {
    return std::max(1L, static_cast<long>((duration.count() + 999) / 1000));
}

}  // namespace

bool SendSecureMail(const SecureMail& mail, Reporter& output) {
    CurlEasy easy = MakeCurlEasy();
    CurlList recipients;
    if (!easy || !recipients.Append("<" + mail.recipient + ">")) {
        output.Message("ソケットをオープンできない");
        return false;
    }
    CURL* h = easy.get();
    const std::string url = MailUrl(mail);
    const std::string sender = "<" + mail.sender + ">";
    Upload upload{mail.message};
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, mail.tls == MailTls::Smtps ? "smtps" : "smtp");
    curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!mail.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, mail.caFile.c_str());
    if (!mail.user.empty()) {
        curl_easy_setopt(h, CURLOPT_USERNAME, mail.user.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, mail.password.c_str());
    }
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, sender.c_str());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, &ReadMessage);
    curl_easy_setopt(h, CURLOPT_READDATA, static_cast<void*>(&upload));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(mail.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(mail.replyTimeout));
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &LogReplies);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, static_cast<void*>(&output));
    const CURLcode code = curl_easy_perform(h);
    if (code == CURLE_OK) return true;
    const std::string reason = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    if (auto failure = ClassifyTlsFailure(code, reason)) {
        output.Message(TlsFailureText(*failure, reason));
    } else {
        output.Message("SMTPサーバーへの送信に失敗しました：" + reason);
    }
    return false;
}

}  // namespace zorva::qivftp
