#include "velmoro/engine/HostStart.h"

#include <system_error>

#include "common/Codec.h"
#include "common/FileIo.h"

namespace zorva::velmoro {

std::string HostStartFileName(std::string_view termId) {
    return "ZORVADATA/" + std::string(termId);
}

void HostStartPoller::CountMiss() {
    if (misses_ == kStartPollNotice) {
        Report(kHostStartNoAnswer);
        misses_ = 0;
    } else {
        ++misses_;
    }
}

// The first line of the file's first bytes; nullopt when the file cannot be read.
std::optional<std::string> HostStartPoller::ReadRequestedName() {
    std::optional<std::string> bytes = ReadFileBytes(localCopy_, kStartFileBytes);
    std::error_code ignored;
    std::filesystem::remove(localCopy_, ignored);
    if (!bytes) return std::nullopt;
    return bytes->substr(0, bytes->find_first_of("\r\n"));
}

std::optional<std::string> HostStartPoller::FetchHostStartRequest(
    HostConnection& host, std::string_view termId, const std::vector<JobRecord>& jobs) {
    // Without a terminal id there is no start file to ask for: a poll that finds nothing.
    HostStatus fetched =
        termId.empty() ? HostStatus::Failed
                       : host.GetFile(HostStartFileName(termId), localCopy_, TransferType::Ascii);
    if (fetched == HostStatus::Interrupted) return std::nullopt;
    if (fetched != HostStatus::Ok) {
        CountMiss();
        return std::nullopt;
    }
    std::optional<std::string> name = ReadRequestedName();
    if (!name) {
        Report(kHostStartUnreadable);
        return std::nullopt;
    }
    if (name->empty()) {
        // The host may still be writing it: an empty request gets one more poll to be filled.
        if (misses_ == 1) {
            Report(kHostStartEmpty);
            host.DeleteFile(HostStartFileName(termId));
            misses_ = 0;
        } else {
            ++misses_;
        }
        return std::nullopt;
    }
    const std::string setName = FromCp932(*name);
    bool known = false;
    for (const JobRecord& job : jobs) known = known || job.setName == setName;
    if (!known) {
        Report(kHostStartUnknownSet);
        host.DeleteFile(HostStartFileName(termId));
        return std::nullopt;
    }
    Report(kHostStartReceived);
    misses_ = 0;
    return setName;
}

HostStartPollResult HostStartPoller::Poll(HostConnection& host, std::string_view termId,
                                          const std::vector<JobRecord>& jobs) {
    HostStartPollResult result;
    if (host.Open() != HostStatus::Ok) {
        host.Close();
        return result;
    }
    result.connected = true;
    std::optional<std::string> requested = FetchHostStartRequest(host, termId, jobs);
    if (!requested) {
        result.waitingTitle = true;
    } else {
        for (const JobRecord& job : jobs) {
            if (job.active && job.startMethod == StartMethod::Host && job.setName == *requested) {
                result.setName = *requested;
                return result;  // the connection stays for FinishRun
            }
        }
    }
    host.Close();
    return result;
}

void HostStartPoller::FinishRun(HostConnection& host, std::string_view termId, bool ran) {
    if (ran) host.DeleteFile(HostStartFileName(termId));
    host.Close();
}

}  // namespace zorva::velmoro
