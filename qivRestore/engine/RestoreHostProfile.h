#pragma once
// How the restore program talks to the host: every operation tried once. It has no status line:
// its progress goes to its log, and it words upload failures itself, object by object.

#include "common/host/HostProfile.h"

namespace zorva::qivrestore {

inline constexpr HostProfile kRestoreHostProfile{
    .open = {1, std::chrono::seconds{1}},
    .command = {1, std::chrono::seconds{1}},
    .putFile = {1, std::chrono::seconds{1}},
    .setCurrentLibrary = {1, std::chrono::seconds{1}},
    .replyTimeout = std::chrono::seconds{60},
    .openFailure = "インターネットを開けません",
    .callbackFailure = "コールバックを設定できません",
    .commandFailure = "コマンド実行に失敗しました",
    .uploadFailure = "",
    .replyTimeoutFailure = "",
    .hostWord = "サーバー",
    .progressOnStatusLine = false,
    .progressLogged = true,
    .transferErrorsLogged = false,
};

}  // namespace zorva::qivrestore
