#pragma once
// What the windows show of a running transfer: the bytes of the file under way out of its size
// (when the host told it), the rate, the time left and how many objects of the job this is.
// The meter sits on the transfer's byte callback, which libcurl calls far more often than a
// person can read, so it hands out a snapshot at most once per interval and otherwise costs a
// comparison of two clock readings.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zorva {

struct TransferSnapshot {
    std::int64_t bytes = 0;
    std::optional<std::int64_t> size;  // the file's size when the host told it
    double bytesPerSecond = 0;         // average since the transfer began
    std::optional<std::chrono::seconds> remaining;
    std::size_t objectNumber = 0;  // 1 for the job's first object
    std::size_t objectCount = 0;

    friend bool operator==(const TransferSnapshot&, const TransferSnapshot&) = default;
};

// 0-100 of the size; nullopt when the size is unknown (a busy indicator instead).
std::optional<int> TransferPercent(const TransferSnapshot& snapshot);
// "123.4 / 500.0 MB", or "123.4 MB" without a size (MB = 1,000,000 bytes).
std::string TransferBytesText(const TransferSnapshot& snapshot);
// "12.3 MB/s".
std::string TransferRateText(const TransferSnapshot& snapshot);
// "残り 00:01:23"; empty when it cannot be told (no size, or no byte yet).
std::string TransferRemainingText(const TransferSnapshot& snapshot);
// The line beside the bar: amount, rate and, when it can be told, the time left.
std::string TransferAmountText(const TransferSnapshot& snapshot);
// "n / m オブジェクト".
std::string TransferCountText(const TransferSnapshot& snapshot);

class TransferMeter {
public:
    using Clock = std::chrono::steady_clock;

    // At most ten snapshots a second by default.
    explicit TransferMeter(Clock::duration interval = std::chrono::milliseconds(100))
        : interval_(interval) {}

    // A new file begins; its first bytes are shown at once.
    void Begin(std::size_t objectNumber, std::size_t objectCount, std::optional<std::int64_t> size,
               Clock::time_point now);
    // The bytes so far; a snapshot when one is due (the interval has passed since the last one,
    // or the file is complete), nullopt otherwise.
    std::optional<TransferSnapshot> Bytes(std::int64_t bytes, Clock::time_point now);

private:
    Clock::duration interval_;
    Clock::time_point began_{};
    std::optional<Clock::time_point> lastShown_;
    bool completeShown_ = false;
    TransferSnapshot current_;
};

}  // namespace zorva
