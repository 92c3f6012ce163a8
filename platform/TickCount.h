// Milliseconds since the system started, as a 32-bit count: it starts again
// at 0 after about 49.7 days, as the tick count the running-time report uses.
#pragma once

#include <cstdint>
#include <ctime>

inline std::uint32_t TickCount() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}
