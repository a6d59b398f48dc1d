#pragma once
// How the agent talks to the host: commands and uploads tried 11 times, a log-on 61 times, one
// second apart; its progress goes to its status line only.

#include "common/host/HostProfile.h"

namespace zorva::velmoro {

inline constexpr HostProfile kAgentHostProfile{
    .open = {61, std::chrono::seconds{1}},
    .command = {11, std::chrono::seconds{1}},
    .putFile = {11, std::chrono::seconds{1}},
    .setCurrentLibrary = {1, std::chrono::seconds{1}},
    .replyTimeout = std::chrono::seconds{60},
    .openFailure = "インターネット接続を開けません",
    .callbackFailure = "FTP用コールバックを設定できません",
    .commandFailure = ":コマンド実行に失敗しました",
    .uploadFailure = ":アップロードに失敗しました",
    .replyTimeoutFailure = "",
    .hostWord = "サーバー",
    .progressOnStatusLine = true,
    .progressLogged = false,
    .transferErrorsLogged = false,
};

}  // namespace zorva::velmoro
