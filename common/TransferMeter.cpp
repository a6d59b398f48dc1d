#include "common/TransferMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/DateTime.h"

namespace zorva {

std::optional<int> TransferPercent(const TransferSnapshot& snapshot) {
    if (!snapshot.size || *snapshot.size <= 0) return std::nullopt;
    const auto bytes = std::clamp<std::int64_t>(snapshot.bytes, 0, *snapshot.size);
    return static_cast<int>(bytes * 100 / *snapshot.size);
}

std::string TransferBytesText(const TransferSnapshot& snapshot) {
    char text[64];
    if (snapshot.size) {
        // A file under a megabyte in KB: "0.0 / 0.0 MB" says nothing.
        const bool small = *snapshot.size < 1'000'000;
        const double unit = small ? 1e3 : 1e6;
        std::snprintf(text, sizeof text, "%.1f / %.1f %s",
                      static_cast<double>(snapshot.bytes) / unit,
                      static_cast<double>(*snapshot.size) / unit, small ? "KB" : "MB");
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(snapshot.bytes) / 1e6);
    }
    return text;
}

std::string TransferRateText(const TransferSnapshot& snapshot) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB/s", snapshot.bytesPerSecond / 1e6);
    return text;
}

std::string TransferRemainingText(const TransferSnapshot& snapshot) {
    if (!snapshot.remaining) return {};
    return "残り " + DurationText(snapshot.remaining->count());
}

std::string TransferAmountText(const TransferSnapshot& snapshot) {
    std::string text = TransferBytesText(snapshot) + "  " + TransferRateText(snapshot);
    if (const std::string remaining = TransferRemainingText(snapshot); !remaining.empty()) {
        text += "  " + remaining;
    }
    return text;
}

std::string TransferCountText(const TransferSnapshot& snapshot) {
    return std::to_string(snapshot.objectNumber) + " / " + std::to_string(snapshot.objectCount) +
           " オブジェクト";
}

void TransferMeter::Begin(std::size_t objectNumber, std::size_t objectCount,
                          std::optional<std::int64_t> size, Clock::time_point now) {
    began_ = now;
    lastShown_.reset();
    completeShown_ = false;
    current_ = TransferSnapshot{};
    current_.size = size;
    current_.objectNumber = objectNumber;
    current_.objectCount = objectCount;
}

std::optional<TransferSnapshot> TransferMeter::Bytes(std::int64_t bytes, Clock::time_point now) {
    // Fewer bytes than last time: a new attempt starts the file over, and its rate with it.
    if (bytes < current_.bytes) began_ = now;
    const bool complete = current_.size && bytes >= *current_.size;
    const bool due = !lastShown_ || now - *lastShown_ >= interval_;
    if (!due && !(complete && !completeShown_)) return std::nullopt;
    lastShown_ = now;
    completeShown_ = complete;
    current_.bytes = bytes;
    const double seconds = std::chrono::duration<double>(now - began_).count();
    current_.bytesPerSecond = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
    current_.remaining.reset();
    if (current_.size && current_.bytesPerSecond > 0) {
        const double left = static_cast<double>(std::max<std::int64_t>(*current_.size - bytes, 0));
        current_.remaining =
            std::chrono::seconds(static_cast<long long>(std::ceil(left / current_.bytesPerSecond)));
    }
    return current_;
}

}  // namespace zorva
