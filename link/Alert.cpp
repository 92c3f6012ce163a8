#include "link/Alert.h"

#include <cmath>

const char* AlertEventName(AlertState to) {
    switch (to) {
    case AlertState::Normal:
        return "normal";
    case AlertState::ActiveUnacknowledged:
        return "active";
    case AlertState::ActiveSilenced:
        return "silenced";
    case AlertState::ActiveAcknowledged:
        return "acknowledged";
    case AlertState::RectifiedUnacknowledged:
        return "rectified";
    }
    return "";
}

void CAlert::MeasureAngle(double angle, double limit, std::int64_t nowMs) {
    const double size = std::fabs(angle);
    // Once over, an angle is over until it is clearly back below the limit.
    const bool over = m_bOn ? size >= limit - m_settings.hysteresis : limit <= size;
    Measure(over, angle, limit, nowMs);
}

void CAlert::Measure(bool on, double value, double limit, std::int64_t nowMs) {
    m_dValue = value;
    m_dLimit = limit;
    if (!on) {
        m_bPending = false;
        if (m_bOn && !m_bEnding) {
            m_bEnding = true;
            m_nEndingSinceMs = nowMs;
        }
        Tick(nowMs);
        return;
    }
    m_bEnding = false;
    if (m_bOn)
        return;
    if (!m_bPending) {
        m_bPending = true;
        m_nPendingSinceMs = nowMs;
    }
    Tick(nowMs);
}

void CAlert::Tick(std::int64_t nowMs) {
    if (m_bPending && nowMs - m_nPendingSinceMs >= m_settings.delayMs) {
        m_bPending = false;
        m_bOn = true;
        ConditionStarted();
    }
    if (m_bEnding && nowMs - m_nEndingSinceMs >= m_settings.clearDelayMs) {
        m_bEnding = false;
        m_bOn = false;
        ConditionEnded();
    }
    if (m_state == AlertState::ActiveSilenced && nowMs >= m_nSilencedUntilMs)
        Enter(AlertState::ActiveUnacknowledged); // the silence is over: it sounds again
}

void CAlert::Silence(std::int64_t nowMs) {
    if (m_state != AlertState::ActiveUnacknowledged)
        return;
    m_nSilencedUntilMs = nowMs + m_settings.silenceMs;
    Enter(AlertState::ActiveSilenced);
}

void CAlert::Acknowledge(std::int64_t) {
    if (m_state == AlertState::ActiveUnacknowledged || m_state == AlertState::ActiveSilenced)
        Enter(AlertState::ActiveAcknowledged);
    else if (m_state == AlertState::RectifiedUnacknowledged)
        Enter(AlertState::Normal);
}

void CAlert::ConditionStarted() {
    if (m_state == AlertState::Normal || m_state == AlertState::RectifiedUnacknowledged)
        Enter(AlertState::ActiveUnacknowledged);
}

void CAlert::ConditionEnded() {
    if (m_state == AlertState::ActiveAcknowledged)
        Enter(AlertState::Normal);
    else if (m_state == AlertState::ActiveUnacknowledged || m_state == AlertState::ActiveSilenced)
        Enter(AlertState::RectifiedUnacknowledged);
}

void CAlert::Enter(AlertState to) {
    m_changes.push_back({m_state, to, m_dValue, m_dLimit});
    m_state = to;
}

std::vector<CAlert::Change> CAlert::TakeChanges() {
    std::vector<Change> changes;
    changes.swap(m_changes);
    return changes;
}
