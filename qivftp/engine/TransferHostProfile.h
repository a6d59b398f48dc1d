#pragma once
// How the transfer agent talks to the host: a log-on, a command or a change of library tried 61
// times and an upload 11 times, one second apart; the host may stay silent for a day, as long
// downloads need. Its progress goes to its status line and, but for the passing waits, to its
// detail log, with libcurl's reason for every failed transfer.

#include "common/host/HostProfile.h"

namespace zorva::qivftp {

inline constexpr HostProfile kTransferHostProfile{
    .open = {61, std::chrono::seconds{1}},
    .command = {61, std::chrono::seconds{1}},
    .putFile = {11, std::chrono::seconds{1}},
    .setCurrentLibrary = {61, std::chrono::seconds{1}},
    .replyTimeout = std::chrono::seconds{86'400},
    .openFailure = "インターネットを開けません",
    .callbackFailure = "コールバックを設定できません",
    .commandFailure = "コマンド実行に失敗しました",
    .uploadFailure = ":アップロードに失敗しました",
    .replyTimeoutFailure = "InternetSetOptionにエラー発生",
    .hostWord = "ホスト",
    .progressOnStatusLine = true,
    .progressLogged = true,
    .transferErrorsLogged = true,
};

}  // namespace zorva::qivftp
