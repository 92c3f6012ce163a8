// Which of several sources to believe, quantity by quantity. Each source's
// last reading of a quantity has one state: valid; invalid (the sentence's
// own status says so); not plausible (out of range, or a heading that turned
// faster than the vessel can); stale (older than the stale time); unavailable
// (never received). The displays follow the first source in the quantity's
// priority list whose reading is valid and fresh. When that one fails the
// next valid source takes over at once; a source higher in the list takes
// back only after it has stayed valid for the failback time, so a flapping
// source does not pull the displays to and fro. Every switch is kept for the
// caller to announce. Time is given by the caller (milliseconds of a steady
// clock), so all of it is tested with a fake one.
#pragma once

#include "link/RateWindow.h"
#include "link/Sentences.h"

#include <cstdint>
#include <vector>

enum class SourceState : std::uint8_t { Unavailable, Valid, Invalid, NotPlausible, Stale };

// "valid", "invalid", ... as the event log writes them.
const char* SourceStateName(SourceState state);

struct SourceChoiceSettings {
    double maxTurnRate = 60;         // degrees a second a heading may turn
    std::int64_t staleMs = 3000;     // a reading older than this is stale
    std::int64_t failbackMs = 10000; // how long a preferred source must be valid to take back
};

struct SourceReading {
    double value = 0;
    std::int64_t receivedMs = 0;
    SourceState state = SourceState::Unavailable;
    std::int64_t validSinceMs = 0; // while valid: since when without a break
    CRateWindow rate;              // readings a second, of whatever state
};

class CSourceChoice {
public:
    static constexpr int kNone = -1;

    struct Switch {
        Quantity quantity;
        int from; // kNone when nothing was shown before
        int to;
        bool failback; // back to a source higher in the list
    };

    explicit CSourceChoice(int sources = 1);

    int Sources() const { return m_nSources; }
    void SetSettings(const SourceChoiceSettings& settings) { m_settings = settings; }
    const SourceChoiceSettings& Settings() const { return m_settings; }
    // The sources in the order to prefer them; those left out come last, in
    // their own order. Default: the order of the sources.
    void SetPriority(Quantity quantity, const std::vector<int>& order);
    const std::vector<int>& Priority(Quantity quantity) const;

    // A reading of a quantity from a source at nowMs (a field the sentence
    // does not carry is no reading: NotPresent changes nothing).
    void Observe(int source, Quantity quantity, Validity validity, double value,
                 std::int64_t nowMs);
    // Time passing: readings going stale, failback coming due.
    void Tick(std::int64_t nowMs);

    // The source the displays show for a quantity; kNone before any was valid.
    int Chosen(Quantity quantity) const { return m_chosen[Index(quantity)]; }
    const SourceReading& Reading(int source, Quantity quantity) const;

    std::vector<Switch> TakeSwitches();

private:
    static int Index(Quantity q) { return static_cast<int>(q); }
    SourceReading& At(int source, Quantity q);
    void Choose(Quantity q, std::int64_t nowMs);

    int m_nSources;
    SourceChoiceSettings m_settings;
    std::vector<SourceReading> m_readings; // source * kQuantities + quantity
    std::vector<int> m_priority[kQuantities];
    int m_chosen[kQuantities];
    std::vector<Switch> m_switches;
};
