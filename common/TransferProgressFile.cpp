#include "common/TransferProgressFile.h"

#include <charconv>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/TextFields.h"

namespace zorva {
namespace {

constexpr std::size_t kNoteReadLimit = 1024;

std::optional<int> Percentage(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 100) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string TransferProgressContent(const TransferProgressNote& note) {
    const std::string percent = note.percent ? std::to_string(*note.percent) : "";
    return ToCp932("SET=" + note.setName + "\r\nOBJECT=" + note.object + "\r\nPERCENT=" + percent +
                   "\r\n");
}

std::optional<TransferProgressNote> ParseTransferProgress(std::string_view bytes) {
    TransferProgressNote note;
    bool hasSet = false;
    for (std::string_view line : SplitLines(bytes)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "SET") {
            note.setName = FromCp932(value);
            hasSet = !value.empty();
        } else if (key == "OBJECT") {
            note.object = FromCp932(value);
        } else if (key == "PERCENT" && !value.empty()) {
            note.percent = Percentage(value);
            if (!note.percent) return std::nullopt;
        }
    }
    if (!hasSet) return std::nullopt;
    return note;
}

std::optional<TransferProgressNote> ReadTransferProgress(
    const std::filesystem::path& programFolder) {
    const auto bytes =
        ReadRegularFileBytes(programFolder / kTransferProgressFileName, kNoteReadLimit);
    if (!bytes) return std::nullopt;
    return ParseTransferProgress(*bytes);
}

std::string TransferProgressText(const TransferProgressNote& note) {
    std::string text = note.setName + "  " + note.object;
    if (note.percent) text += "  " + std::to_string(*note.percent) + "%";
    return text;
}

TransferProgressPublisher::TransferProgressPublisher(std::filesystem::path file,
                                                     std::chrono::milliseconds interval)
    : file_(std::move(file)), interval_(interval) {
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
    writer_ = std::thread([this] { Run(); });
}

TransferProgressPublisher::~TransferProgressPublisher() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_one();
    writer_.join();
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
}

void TransferProgressPublisher::Publish(TransferProgressNote note) {
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(note);
    }
    changed_.notify_one();
}

void TransferProgressPublisher::Run() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || pending_; });
        if (stopping_) return;
        const std::string content = TransferProgressContent(*pending_);
        pending_.reset();
        lock.unlock();
        // A note that cannot be written is only a note: the job goes on without it.
        WriteFileAtomically(file_, content, 0600);
        lock.lock();
        changed_.wait_for(lock, interval_, [this] { return stopping_; });
    }
}

}  // namespace zorva
