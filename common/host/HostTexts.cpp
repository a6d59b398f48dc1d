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

// The agent's column: everything goes to the status line.
std::optional<std::string> AgentText(HostActivity activity, HostEvent event) {
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
                return "サーバーに要求を送信しています";
            break;
        case HostEvent::ReceivingResponse:
            if (exchange) return "要求に対するサーバーの応答を待っています";
            if (activity == HostActivity::Connect || activity == HostActivity::Download) {
                return "サーバーからの応答を待っています";
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
            return "サーバーからの接続をクローズしました";
    }
    return std::nullopt;
}

// The transfer agent says "ホスト" where the agent says "サーバー" in the texts that only go to
// its status line, and also logs the connect, byte count, handle and close texts.
std::optional<HostProgress> TransferAgentText(HostActivity activity, HostEvent event,
                                              std::string_view detail) {
    auto agent = AgentText(activity, event);
    if (!agent) return std::nullopt;
    switch (event) {
        case HostEvent::RequestSending:
            return HostProgress{"ホストに要求を送信しています", {}};
        case HostEvent::ReceivingResponse:
            if (activity == HostActivity::Command || activity == HostActivity::Upload) {
                return HostProgress{"要求に対するホストの応答を待っています", {}};
            }
            return HostProgress{"ホストからの応答を待っています", {}};
        case HostEvent::HandleCreated:
            return HostProgress{*agent, "FTPセッションハンドルが作られました"};
        case HostEvent::ConnectionClosed:
            return HostProgress{"ホストからの接続をクローズしました",
                                "ホストからの接続をクローズしました"};
        default: {
            std::string text = Fill(*agent, detail);
            return HostProgress{text, text};
        }
    }
}

// The restore program has no status line: it logs connect, byte count, handle and close
// events and nothing else.
std::optional<HostProgress> RestoreProgramText(HostActivity activity, HostEvent event,
                                               std::string_view detail) {
    auto agent = AgentText(activity, event);
    if (!agent) return std::nullopt;
    switch (event) {
        case HostEvent::RequestSending:
        case HostEvent::ReceivingResponse:
            return std::nullopt;
        case HostEvent::HandleCreated:
            return HostProgress{{}, "FTPセッションハンドルが作られました"};
        default:
            return HostProgress{{}, Fill(*agent, detail)};
    }
}

}  // namespace

std::optional<HostProgress> HostProgressText(Program program, HostActivity activity,
                                             HostEvent event, std::string_view detail) {
    switch (program) {
        case Program::Agent:
            if (auto text = AgentText(activity, event))
                return HostProgress{Fill(*text, detail), {}};
            return std::nullopt;
        case Program::TransferAgent:
            return TransferAgentText(activity, event, detail);
        case Program::Restore:
            return RestoreProgramText(activity, event, detail);
        case Program::SavedDataViewer:  // the viewers keep no log and never talk to the host
        case Program::LogViewer:
            break;
    }
    return std::nullopt;
}

std::string HostOpenFailureText(Program program) {
    return program == Program::Agent ? "インターネット接続を開けません"
                                     : "インターネットを開けません";
}

std::string HostCallbackFailureText(Program program) {
    return program == Program::Agent ? "FTP用コールバックを設定できません"
                                     : "コールバックを設定できません";
}

std::string HostReceiveTimeoutFailureText() {
    return "InternetSetOptionにエラー発生";
}

std::string HostConnectFailureText() {
    return "接続中にエラー発生";
}

std::string HostConnectedText() {
    return "ホストに接続しました";
}

std::string HostCommandFailureText(Program program, std::string_view command) {
    std::string text(command);
    text +=
        program == Program::Agent ? ":コマンド実行に失敗しました" : "コマンド実行に失敗しました";
    return text;
}

std::optional<std::string> HostUploadFailureText(Program program, std::string_view localPath) {
    if (program == Program::Restore) return std::nullopt;
    return std::string(localPath) + ":アップロードに失敗しました";
}

}  // namespace zorva
