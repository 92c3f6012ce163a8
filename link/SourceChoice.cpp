#include "link/SourceChoice.h"

#include "link/HeadingCompare.h"

#include <algorithm>
#include <cmath>

namespace {
// Receive times are those of the read that brought a sentence, so two
// headings a few milliseconds apart may have waited in one buffer: a turn is
// judged over at least this long.
constexpr std::int64_t kMinTurnSpanMs = 100;

bool IsHeading(Quantity q) {
    return q == Quantity::Heading || q == Quantity::MagneticHeading ||
           q == Quantity::TrueFromMagnetic;
}
} // namespace

const char* SourceStateName(SourceState state) {
    switch (state) {
    case SourceState::Unavailable:
        return "unavailable";
    case SourceState::Valid:
        return "valid";
    case SourceState::Invalid:
        return "invalid";
    case SourceState::NotPlausible:
        return "not-plausible";
    case SourceState::Stale:
        return "stale";
    }
    return "";
}

CSourceChoice::CSourceChoice(int sources)
    : m_nSources(std::max(sources, 1)),
      m_readings(static_cast<std::size_t>(m_nSources) * kQuantities) {
    for (int q = 0; q < kQuantities; ++q) {
        m_chosen[q] = kNone;
        SetPriority(static_cast<Quantity>(q), {});
    }
}

void CSourceChoice::SetPriority(Quantity quantity, const std::vector<int>& order) {
    std::vector<int>& list = m_priority[Index(quantity)];
    list.clear();
    for (int s : order) {
        if (s >= 0 && s < m_nSources && std::find(list.begin(), list.end(), s) == list.end())
            list.push_back(s);
    }
    for (int s = 0; s < m_nSources; ++s) {
        if (std::find(list.begin(), list.end(), s) == list.end())
            list.push_back(s);
    }
}

const std::vector<int>& CSourceChoice::Priority(Quantity quantity) const {
    return m_priority[Index(quantity)];
}

SourceReading& CSourceChoice::At(int source, Quantity q) {
    return m_readings[static_cast<std::size_t>(source) * kQuantities + Index(q)];
}

const SourceReading& CSourceChoice::Reading(int source, Quantity quantity) const {
    return m_readings[static_cast<std::size_t>(source) * kQuantities + Index(quantity)];
}

void CSourceChoice::Observe(int source, Quantity quantity, Validity validity, double value,
                            std::int64_t nowMs) {
    if (source < 0 || source >= m_nSources || validity == Validity::NotPresent)
        return;
    SourceReading& r = At(source, quantity);
    SourceState state = validity == Validity::Valid     ? SourceState::Valid
                        : validity == Validity::Invalid ? SourceState::Invalid
                                                        : SourceState::NotPlausible;
    if (state == SourceState::Valid && !std::isfinite(value))
        state = SourceState::NotPlausible;
    // A heading that turned faster than the vessel can, from the source's
    // last reading (whatever was thought of it: after a step, the next
    // reading is judged against the step, so a source that moved for good is
    // believed again at its second reading).
    if (state == SourceState::Valid && IsHeading(quantity) && r.state != SourceState::Unavailable &&
        std::isfinite(r.value)) {
        const double seconds =
            static_cast<double>(std::max(nowMs - r.receivedMs, kMinTurnSpanMs)) / 1000.0;
        if (std::fabs(HeadingDifference(value, r.value)) > m_settings.maxTurnRate * seconds)
            state = SourceState::NotPlausible;
    }
    // Valid without a break: a reading that went stale unseen (no Tick
    // since) is a break too.
    const bool wasValid =
        r.state == SourceState::Valid && nowMs - r.receivedMs <= m_settings.staleMs;
    if (state == SourceState::Valid && !wasValid)
        r.validSinceMs = nowMs;
    r.value = value;
    r.receivedMs = nowMs;
    r.state = state;
    r.rate.Add(nowMs);
    Choose(quantity, nowMs);
}

void CSourceChoice::Tick(std::int64_t nowMs) {
    for (int q = 0; q < kQuantities; ++q) {
        for (int s = 0; s < m_nSources; ++s) {
            SourceReading& r = At(s, static_cast<Quantity>(q));
            if (r.state != SourceState::Unavailable && r.state != SourceState::Stale &&
                nowMs - r.receivedMs > m_settings.staleMs)
                r.state = SourceState::Stale;
        }
        Choose(static_cast<Quantity>(q), nowMs);
    }
}

void CSourceChoice::Choose(Quantity q, std::int64_t nowMs) {
    int& chosen = m_chosen[Index(q)];
    const auto valid = [&](int s) {
        const SourceReading& r = At(s, q);
        return r.state == SourceState::Valid && nowMs - r.receivedMs <= m_settings.staleMs;
    };
    const bool chosenValid = chosen != kNone && valid(chosen);
    int to = chosenValid ? chosen : kNone;
    bool failback = false;
    for (int s : m_priority[Index(q)]) {
        if (s == chosen && chosenValid)
            break; // nothing above the one shown is ready to take back
        if (!valid(s))
            continue;
        if (chosenValid && nowMs - At(s, q).validSinceMs < m_settings.failbackMs)
            continue; // preferred, but not yet valid for long enough
        to = s;
        failback = chosenValid;
        break;
    }
    // With nothing valid the last source shown stays, its state saying why.
    if (to == kNone || to == chosen)
        return;
    m_switches.push_back({q, chosen, to, failback});
    chosen = to;
}

std::vector<CSourceChoice::Switch> CSourceChoice::TakeSwitches() {
    std::vector<Switch> switches;
    switches.swap(m_switches);
    return switches;
}
