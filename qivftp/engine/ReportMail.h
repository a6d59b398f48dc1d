#pragma once
// The job report mail: a fixed SMTP dialogue over a plain TCP connection, with a body that
// says how the job ended, the set, its start and end and one line per object. Replies are
// logged, never judged: the dialogue runs to QUIT whatever the server answers.

#include <chrono>
#include <string>
#include <vector>

#include "common/Settings.h"
#include "qivftp/engine/TransferJob.h"

namespace zorva::qivftp {

// One step of the dialogue. A Send carries UTF-8 text; on the wire it is CP932 followed by
// CR LF. `logged` says whether the text also goes to the message list (and daily log). A
// Read receives one reply and always logs what arrived.
struct MailStep {
    enum Kind { Send, Read };
    Kind kind = Read;
    std::string text;
    bool logged = false;

    friend bool operator==(const MailStep&, const MailStep&) = default;
};

// The object's line of the body: name, status part and, for statuses 1, 5 and 9, the time
// the download began (zeros when it never did).
std::string ReportObjectLine(const JobObjectRow& row);

// The body lines in order, without their line ends.
std::vector<std::string> ReportBody(const TransferJob& job);

// The sender: MAILFROM, or ADDRESS when MAILFROM is empty.
std::string ReportSender(const Settings& settings);

// The whole dialogue after connecting: greeting, HELO, MAIL FROM, RCPT TO, DATA, headers,
// the blank line, the body, ".", QUIT.
std::vector<MailStep> ReportDialogue(const TransferJob& job, const Settings& settings);

// The SMTP port: [MAIL] PORT when set, else the "mail" service of the services list, else 25.
int ReportMailPort(const Settings& settings);

struct MailTimeouts {
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds reply{30000};
};

// Mails the report: status line "完了報告送信開始", the dialogue, status line
// "完了報告送信終了". A missing address or server, an unknown server, a failed socket or
// connection, or a server that does not answer within `timeouts.reply`, is reported and ends
// the report; the caller's end of job goes on either way.
void SendJobReport(const TransferJob& job, const Settings& settings, Reporter& output,
                   const MailTimeouts& timeouts = {});

}  // namespace zorva::qivftp
