#pragma once
// One restore run: log on, send the checked save files of a generation to the host library
// ZORVARST, and, for "レストアまで行う", send the restore list, submit the host restore job and
// wait for its per-object results. Run() blocks: the window calls it on a worker thread, the
// command line on its only thread.
//
// The host connection must wait through the HostJobWait's PollWaiter, so that the time limit
// (started by the caller: the window's opening, the command's start) and a stop request end
// a transfer that is still running.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/BackupSet.h"
#include "common/HostJobWait.h"
#include "common/Reporter.h"
#include "common/Settings.h"
#include "common/host/HostConnection.h"
#include "qivRestore/engine/RestoreRows.h"

namespace zorva::qivrestore {

// Message: a log line (the message list and the daily log); Status: the window's status line.
class RestoreObserver : public Reporter {
public:
    // The 状況 text of list row `row` changed.
    virtual void ShowRowStatus(std::size_t row, const std::string& text) = 0;
    // A save file's upload begins (the number-th of `count` checked, its size when known) and
    // ends: the bytes the session reports in between are that file's.
    virtual void UploadStarting(std::size_t number, std::size_t count,
                                std::optional<std::int64_t> size) {
        (void)number, (void)count, (void)size;
    }
    virtual void UploadEnded() {}
};

struct RestoreRequest {
    std::string setName;
    std::filesystem::path chosenFolder;  // the generation folder
    std::vector<ObjectRow> objectTable;  // the set's object rows
    std::vector<RestoreRow> rows;        // the object list, with its check boxes
    bool restoreOnHost = false;          // "レストアまで行う" (else "SAVFを戻すだけ")
    bool overwrite = false;              // "上書き可"
};

enum class RestoreOutcome {
    NothingChecked,  // "アップロードするオブジェクトが指定されていない"
    ConnectFailed,   // "ホストへの接続失敗"
    UploadFailed,    // " アップロード失敗、ログを参照してください"
    Uploaded,        // "SAVFを戻すだけ" done: "終了してもよいですか"
    Complete,        // the host answered for every object: "復元処理終了"
    NoResponse,      // "ホストプログラムから応答が無いので終了します"
    TimedOut,        // the time limit: the window closes without a word
    Stopped,         // the program asked to stop (the window closes)
};

class RestoreEngine {
public:
    RestoreEngine(std::filesystem::path programFolder, const Settings& settings,
                  HostConnection& host, HostJobWait& wait, RestoreObserver& observer);

    RestoreOutcome Run(RestoreRequest request);

    // The rows of the last run with their 状況 texts.
    const std::vector<RestoreRow>& Rows() const { return request_.rows; }

    // The local copy of the restore list (sent and fetched back).
    std::filesystem::path ListPath() const { return programFolder_ / "SAVLIBS"; }

    static std::string CreateFileCommand(std::string_view hostName, bool asSaveFile);
    static std::string SubmitCommand(bool overwrite, std::string_view jobQueue);

private:
    bool ConnectHost();
    bool UploadSelected();
    bool UploadRow(std::size_t index, std::string& list);
    bool SubmitRestoreJob();
    PollResult PollRestoreResult();
    bool ShowRowStatus(const std::string& name, char code);
    void SetRowStatus(std::size_t index, std::string_view text);
    RestoreOutcome WaitForHost();
    RestoreOutcome Interruption();
    bool NoteInterrupted() {
        interrupted_ = true;
        return false;
    }

    std::filesystem::path programFolder_;
    const Settings& settings_;
    HostConnection& host_;
    HostJobWait& wait_;
    RestoreObserver& observer_;
    RestoreRequest request_;
    std::string sentList_;  // the restore list as uploaded, to tell it from the host's answer
    bool interrupted_ = false;
    std::size_t uploadNumber_ = 0;  // of the save files of this run
    std::size_t uploadCount_ = 0;
};

}  // namespace zorva::qivrestore
