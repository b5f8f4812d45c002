#include "BenchUtil.h"
#include "core/base/TimeText.h"

#include <QString>
#include <cstdio>

// 1 000 000 TimeToText + TextToTime round trips, against formatting the same
// values with QString::number as a baseline.
int main() {
    constexpr int kCount = 1000000;
    long long sink = 0;
    const double roundTrip = MedianMs(5, [&] {
        for (int i = 0; i < kCount; ++i)
            sink += TextToTime(TimeToText(i * 37, 2), 2);
    });
    const double baseline = MedianMs(5, [&] {
        for (int i = 0; i < kCount; ++i)
            sink += QString::number(i * 37).size();
    });
    std::printf("TimeToText+TextToTime: %d round trips in %.1f ms median (%.0f ns each)\n", kCount, roundTrip,
                roundTrip * 1e6 / kCount);
    std::printf("baseline QString::number: %.1f ms; ratio %.1f\n", baseline, roundTrip / baseline);
    return sink == 42 ? 1 : 0;
}
