#include "platform/AlarmTone.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(AlarmTone, ThreeBeepsOf600HzFor300msWith50msGaps) {
    constexpr int rate = 48000, perMs = rate / 1000;
    const QByteArray pcm = SynthesiseAlarm(rate);
    ASSERT_EQ(pcm.size(), 2 * perMs * (3 * 300 + 2 * 50));
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    std::string shape; // each millisecond sounding or silent
    for (const qint16* ms = s; ms < s + pcm.size() / 2; ms += perMs)
        shape += std::any_of(ms, ms + perMs, [](qint16 v) { return v != 0; }) ? 'x' : '.';
    const std::string beep(300, 'x'), gap(50, '.');
    EXPECT_EQ(shape, beep + gap + beep + gap + beep);
    int rising = 0; // 600 Hz: 180 rising zero crossings in a beep
    for (int i = 1; i < 300 * perMs; ++i)
        rising += s[i - 1] < 0 && s[i] >= 0;
    EXPECT_NEAR(rising, 180, 1);
}

} // namespace
