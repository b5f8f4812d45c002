#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

// The peer's clock against ours, from four-timestamp exchanges (t1 our send, t2 its
// receive, t3 its send, t4 our receive, all UTC ms). Of the recent exchanges the one
// with the smallest round trip wins: its half round trip bounds the error.
class ClockOffset {
public:
    struct Estimate {
        qint64 offsetMs = 0; // peer clock minus ours
        qint64 errorMs = 0;  // half the round trip of the winning exchange
    };

    // False for an exchange whose times cannot be (negative round trip).
    bool Add(qint64 t1, qint64 t2, qint64 t3, qint64 t4);
    std::optional<Estimate> Best() const;
    void Clear();

    // Above this the offset is shown as an alarm.
    static constexpr qint64 kAlarmMs = 10;

private:
    struct Sample {
        qint64 offset = 0;
        qint64 roundTrip = 0;
    };
    static constexpr int kWindow = 16; // about 16 s of exchanges: clocks drift slowly
    std::array<Sample, kWindow> m_samples{};
    int m_count = 0;
    int m_next = 0;
};
