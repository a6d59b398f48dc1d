#include "common/host/HostTexts.h"

namespace zorva {
namespace {

std::string Fill(std::string_view pattern, std::string_view detail) {
    std::string text(pattern);
    for (std::string_view mark : {"%s", "%d"}) {
        if (auto at = text.find(mark); at != std::string::npos) {
            text.replace(at, mark.size(), detail);
        }
    }
    return text;
}

std::string Join(std::string_view a, std::string_view b, std::string_view c = {}) {
    std::string text(a);
    text += b;
    text += c;
    return text;
}

// The text of an event during an activity, `host` naming the host; nullopt when the event
// means nothing to the user then.
std::optional<std::string> EventText(HostActivity activity, HostEvent event,
                                     std::string_view host) {
    const bool exchange = activity == HostActivity::Command || activity == HostActivity::Upload;
    switch (event) {
        case HostEvent::Connecting:
            if (activity == HostActivity::Connect) return "ソケットアドレス%sに接続中";
            break;
        case HostEvent::Connected:
            if (activity == HostActivity::Connect) return "ソケットアドレス%sに接続しました";
            break;
        case HostEvent::RequestSending:
            if (exchange || activity == HostActivity::Download)
                return Join(host, "に要求を送信しています");
            break;
        case HostEvent::ReceivingResponse:
            if (exchange) return Join("要求に対する", host, "の応答を待っています");
            if (activity == HostActivity::Connect || activity == HostActivity::Download) {
                return Join(host, "からの応答を待っています");
            }
            break;
        case HostEvent::RequestSent:
            if (activity == HostActivity::Upload) return "%dバイトアップロードしました";
            break;
        case HostEvent::ResponseReceived:
            if (activity == HostActivity::Download) return "%dバイトダウンロードしました";
            break;
        case HostEvent::HandleCreated:
            if (activity == HostActivity::Download) return "ftp handle created";
            break;
        case HostEvent::ConnectionClosed:
            return Join(host, "からの接続をクローズしました");
    }
    return std::nullopt;
}

// Sending and waiting pass in a moment: they are worth a status line, not a log line.
bool Lasting(HostEvent event) {
    return event != HostEvent::RequestSending && event != HostEvent::ReceivingResponse;
}

}  // namespace

std::optional<HostProgress> HostProgressText(const HostProfile& profile, HostActivity activity,
                                             HostEvent event, std::string_view detail) {
    const auto pattern = EventText(activity, event, profile.hostWord);
    if (!pattern) return std::nullopt;
    HostProgress progress;
    if (profile.progressOnStatusLine) progress.status = Fill(*pattern, detail);
    if (profile.progressLogged && Lasting(event)) {
        progress.log = event == HostEvent::HandleCreated ? "FTPセッションハンドルが作られました"
                                                         : Fill(*pattern, detail);
    }
    if (progress == HostProgress{}) return std::nullopt;
    return progress;
}

std::string HostConnectFailureText() {
    return "接続中にエラー発生";
}

std::string HostConnectedText() {
    return "ホストに接続しました";
}

std::string HostCommandFailureText(const HostProfile& profile, std::string_view command) {
    return Join(command, profile.commandFailure);
}

std::optional<std::string> HostUploadFailureText(const HostProfile& profile,
                                                 std::string_view localPath) {
    if (profile.uploadFailure.empty()) return std::nullopt;
    return Join(localPath, profile.uploadFailure);
}

}  // namespace zorva
