#include "platform/AlarmTone.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(AlarmTone, ThreeBeepsOf600HzFor300msWith50msGaps) {
    constexpr int rate = 48000;
    const QByteArray pcm = SynthesiseAlarm(rate);
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    const int n = static_cast<int>(pcm.size() / 2);
    EXPECT_EQ(n, rate * (3 * 300 + 2 * 50) / 1000);
    // Runs of sound and of silence, in milliseconds.
    std::vector<std::pair<bool, int>> runs;
    for (int i = 0; i < n;) {
        // A zero crossing inside a beep is one sample; silence is long.
        int j = i;
        const bool loud = s[i] != 0 || (i + 1 < n && s[i + 1] != 0);
        while (j < n && ((s[j] != 0 || (j + 1 < n && s[j + 1] != 0)) == loud))
            ++j;
        runs.push_back({loud, (j - i) * 1000 / rate});
        i = j;
    }
    ASSERT_EQ(runs.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(runs[k].first, k % 2 == 0);
        EXPECT_NEAR(runs[k].second, k % 2 == 0 ? 300 : 50, 1);
    }
    // 600 Hz: 180 rising zero crossings in each 300 ms beep.
    int rising = 0;
    for (int i = 1; i < rate * 300 / 1000; ++i)
        rising += s[i - 1] < 0 && s[i] >= 0;
    EXPECT_NEAR(rising, 180, 1);
}

} // namespace
