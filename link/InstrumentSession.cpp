#include "link/InstrumentSession.h"

#include "link/Udp450.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
constexpr std::uint8_t kAnswerCommand = 0x06;

bool SameLink(const LinkState& a, const LinkState& b) {
    return a.kind == b.kind && a.nPort == b.nPort && a.strDevice == b.strDevice &&
           a.nError == b.nError && a.strSource == b.strSource && a.strError == b.strError;
}
} // namespace

CInstrumentSession::CInstrumentSession(ISessionListener* listener, Role role)
    : m_pListener(listener),
      m_pRecorder(role == Role::Live ? std::make_unique<CSessionRecorder>([this] { Notify(); })
                                     : nullptr),
      m_alarms(m_monitor, m_pRecorder ? static_cast<IEventSink&>(*m_pRecorder) : NoEvents()) {
    m_inputs.push_back(std::make_unique<Input>());
    m_sourceStatus.resize(1);
    for (int& chosen : m_chosen)
        chosen = CSourceChoice::kNone;
    if (role == Role::Live)
        m_pSharing = std::make_unique<CSessionSharing>(*m_pRecorder, [this] { Notify(); });
    m_fdWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

IEventSink& CInstrumentSession::NoEvents() {
    class CNoEvents final : public IEventSink {
        void Log(std::string_view, std::string_view, std::string_view, std::string_view) override {}
    };
    static CNoEvents none;
    return none;
}

bool CInstrumentSession::CreateRecord(const std::string& folder, const std::tm& when,
                                      std::string* error) {
    if (!m_pRecorder) {
        *error = "a replay records nothing";
        return false;
    }
    const bool made = m_pRecorder->CreateRecord(folder, when, error);
    CreateFurtherRecords();
    return made;
}

bool CInstrumentSession::ReplaceRecord(const std::string& path, std::string* error) {
    if (!m_pRecorder) {
        *error = "a replay records nothing";
        return false;
    }
    return m_pRecorder->ReplaceRecord(path, error);
}

CInstrumentSession::~CInstrumentSession() {
    if (m_thread.joinable()) {
        m_bStop = true;
        Wake();
        m_thread.join();
    }
    // The ports' watch threads may still wake us: they end with the ports.
    for (auto& in : m_inputs) {
        in->pInput.reset();
        if (in->pRecorder)
            in->pRecorder->CloseRecord();
    }
    if (m_pRecorder)
        m_pRecorder->CloseRecord();
    if (m_pSharing)
        m_pSharing->LogSkippedLines();
    Log("program", "end");
    if (m_fdWake >= 0)
        close(m_fdWake);
}

void CInstrumentSession::RunOnThread(std::function<void()> command) {
    if (!m_thread.joinable()) {
        command();
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_commandLock);
        m_commands.push_back(std::move(command));
    }
    Wake();
}

void CInstrumentSession::AcknowledgeAlarms(std::string origin) {
    RunOnThread([this, origin = std::move(origin)] {
        const std::int64_t now = SteadyMs();
        m_compare.Acknowledge(now);
        if (m_alarms.Acknowledge(now, origin) | Announce(now, origin))
            Notify();
    });
}

void CInstrumentSession::SilenceAlarms(std::string origin) {
    RunOnThread([this, origin = std::move(origin)] {
        const std::int64_t now = SteadyMs();
        m_compare.Silence(now);
        if (m_alarms.Silence(now, origin) | Announce(now, origin))
            Notify();
    });
}

void CInstrumentSession::SetAlertSettings(const AlertSettings& settings) {
    RunOnThread([this, settings] { m_alarms.SetSettings(settings); });
}

void CInstrumentSession::AdoptInput(std::unique_ptr<IByteSource> input) {
    assert(!m_thread.joinable());
    Input& in = *m_inputs.front();
    in.pInput = std::move(input);
    if (in.pInput)
        in.pInput->AttachedTo([this] { Wake(); });
}

void CInstrumentSession::AddSource(const std::string& label, const SourceAddress& address) {
    if (address.kind == SourceAddress::Kind::Serial)
        AddSource(label, SerialInput(0, address.strDevice));
    else
        AddSource(label, std::make_unique<CNetworkSource>(address));
}

void CInstrumentSession::AddSource(const std::string& label, std::unique_ptr<IByteSource> input) {
    assert(!m_thread.joinable());
    auto in = std::make_unique<Input>();
    in->strLabel = label;
    if (m_pRecorder)
        in->pRecorder =
            std::make_unique<CSessionRecorder>([this] { Notify(); }, m_pRecorder.get(), label);
    in->pInput = std::move(input);
    if (in->pInput)
        in->pInput->AttachedTo([this] { Wake(); });
    {
        std::lock_guard<std::mutex> guard(m_healthLock);
        m_sourceStatus.emplace_back();
        m_sourceStatus.back().strLabel = label;
    }
    m_inputs.push_back(std::move(in));
    const SourceChoiceSettings settings = m_choice.Settings();
    m_choice = CSourceChoice(static_cast<int>(m_inputs.size()));
    m_choice.SetSettings(settings);
    CreateFurtherRecords(); // the first's record made already: this one's beside it now
}

void CInstrumentSession::SetFirstSourceLabel(const std::string& label) {
    RunOnThread([this, label] {
        m_inputs.front()->strLabel = label;
        std::lock_guard<std::mutex> guard(m_healthLock);
        m_sourceStatus.front().strLabel = label;
    });
}

void CInstrumentSession::SetSourcePriority(Quantity quantity, const std::vector<int>& order) {
    RunOnThread([this, quantity, order] { m_choice.SetPriority(quantity, order); });
}

void CInstrumentSession::SetSourceChoiceSettings(const SourceChoiceSettings& settings) {
    RunOnThread([this, settings] { m_choice.SetSettings(settings); });
}

void CInstrumentSession::SetHeadingCompareSettings(const HeadingCompareSettings& settings) {
    RunOnThread([this, settings] { m_compare.SetSettings(settings); });
}

void CInstrumentSession::SetCourseCheckSettings(const CourseCheckSettings& settings) {
    RunOnThread([this, settings] { m_courseSettings = settings; });
}

std::vector<CHeadingCompare::DeltaPoint> CInstrumentSession::HeadingDeltas(std::size_t i) const {
    // The comparison takes its headings, and grows its histories, under this
    // lock (the interpretation of a read holds it).
    std::lock_guard<std::mutex> guard(m_healthLock);
    const auto& pairs = m_compare.Pairs();
    if (i >= pairs.size())
        return {};
    return {pairs[i].history.begin(), pairs[i].history.end()};
}

CourseCheck CInstrumentSession::Course() const {
    std::lock_guard<std::mutex> guard(m_healthLock);
    return m_course;
}

void CInstrumentSession::CreateFurtherRecords() {
    if (!m_pRecorder)
        return;
    const std::string first = m_pRecorder->Path();
    if (first.empty() || m_pRecorder->State().kind == RecordState::Kind::CreateFailed)
        return;
    const std::string stem = first.size() > 4 && first.compare(first.size() - 4, 4, ".txt") == 0
                                 ? first.substr(0, first.size() - 4)
                                 : first;
    for (std::size_t i = 1; i < m_inputs.size(); ++i) {
        Input& in = *m_inputs[i];
        if (!in.pRecorder || !in.pRecorder->Path().empty())
            continue;
        std::string error;
        if (!in.pRecorder->CreateRecordAt(stem + "-" + in.strLabel + ".txt", &error))
            Log(in.strLabel + "/record", "create-failed", error);
    }
}

void CInstrumentSession::Start() {
    if (m_thread.joinable())
        return;
    Log("program", "start");
    m_thread = std::thread([this] { Run(); });
}

void CInstrumentSession::UsePort(unsigned port, const std::string& device) {
    RunOnThread([this, port, device] {
        Input& in = *m_inputs.front();
        in.nPort = port;
        UseInput(in, SerialInput(port, device));
    });
}

std::unique_ptr<IByteSource> CInstrumentSession::SerialInput(unsigned port,
                                                             const std::string& device) {
    if (device.empty())
        return nullptr;
    return std::make_unique<CSerialSource>(
        port, device, [this] { Wake(); }, [this](const std::string& text) { ReportError(text); });
}

void CInstrumentSession::UseInput(Input& in, std::unique_ptr<IByteSource> input) {
    DrainInput(in);
    CloseInput(in);
    in.pInput = std::move(input);
    if (m_thread.joinable())
        TryOpen(in, SteadyMs());
}

LinkState CInstrumentSession::Link() const {
    std::lock_guard<std::mutex> guard(m_linkLock);
    return m_inputs.front()->link;
}

SessionHealth CInstrumentSession::Health() const {
    SessionHealth health;
    {
        std::lock_guard<std::mutex> guard(m_healthLock);
        health.types = m_counts;
        for (const auto& in : m_inputs) {
            health.nBadPackets += in->framer.BadPackets();
            health.nOverlongLines += in->framer.OverlongLines();
            health.nDatagramsLost += in->counts.nDatagramsLost;
            health.nOtherDatagrams += in->nOtherDatagrams;
        }
        health.senders = m_inputs.front()->counts.senders;
    }
    {
        std::lock_guard<std::mutex> guard(m_linkLock);
        const Input& first = *m_inputs.front();
        health.link = first.link;
        health.nReconnects = first.nConnections > 1 ? first.nConnections - 1 : 0;
    }
    health.nDroppedBytes = m_queue.DroppedBytes();
    health.strRecordPath = RecordPath();
    return health;
}

std::vector<SourceStatus> CInstrumentSession::Sources() const {
    std::vector<SourceStatus> sources;
    {
        std::lock_guard<std::mutex> guard(m_healthLock);
        sources = m_sourceStatus;
    }
    {
        std::lock_guard<std::mutex> guard(m_linkLock);
        for (std::size_t i = 0; i < sources.size() && i < m_inputs.size(); ++i)
            sources[i].link = m_inputs[i]->link;
    }
    for (std::size_t i = 0; i < sources.size() && i < m_inputs.size(); ++i)
        sources[i].strRecordPath = i == 0                   ? RecordPath()
                                   : m_inputs[i]->pRecorder ? m_inputs[i]->pRecorder->Path()
                                                            : std::string();
    return sources;
}

std::string CInstrumentSession::ChosenSource(Quantity quantity) const {
    std::lock_guard<std::mutex> guard(m_healthLock);
    const int chosen = m_chosen[static_cast<int>(quantity)];
    if (m_sourceStatus.size() < 2 || chosen < 0 ||
        chosen >= static_cast<int>(m_sourceStatus.size()))
        return {};
    return m_sourceStatus[static_cast<std::size_t>(chosen)].strLabel;
}

SourceSwitchNotice CInstrumentSession::LastSwitch() const {
    std::lock_guard<std::mutex> guard(m_healthLock);
    return m_lastSwitch;
}

std::vector<HeadingPairStatus> CInstrumentSession::HeadingPairs() const {
    std::lock_guard<std::mutex> guard(m_healthLock);
    return m_pairStatus;
}

void CInstrumentSession::ReportError(const std::string& text) {
    if (m_pListener)
        m_pListener->SessionError(text);
    else
        std::fputs(text.c_str(), stderr);
}

void CInstrumentSession::Wake() {
    const std::uint64_t one = 1;
    while (write(m_fdWake, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CInstrumentSession::Notify() {
    if (m_pListener)
        m_pListener->SessionChanged();
}

void CInstrumentSession::Run() {
    // Named for top -H and a profiler: the thread that receives and records.
    pthread_setname_np(pthread_self(), "quillmar-link");
    std::int64_t now = SteadyMs();
    for (auto& in : m_inputs)
        TryOpen(*in, now);
    m_nRecordCheckAtMs = now + kRecordCheckMs;
    m_nAlarmTickAtMs = now + kAlarmTickMs;
    while (!m_bStop) {
        std::int64_t due = std::min(m_nRecordCheckAtMs, m_nAlarmTickAtMs);
        for (const auto& in : m_inputs) {
            if (in->nReconnectAtMs >= 0 && in->nReconnectAtMs < due)
                due = in->nReconnectAtMs;
            if (!in->answersAtMs.empty() && in->answersAtMs.front() < due)
                due = in->answersAtMs.front();
            if (const std::int64_t at = in->pInput ? in->pInput->TakeAtMs() : -1;
                at >= 0 && at < due)
                due = at;
        }
        if (const std::int64_t at = m_pSharing ? m_pSharing->WakeAtMs() : -1; at >= 0 && at < due)
            due = at;
        PollSources(static_cast<int>(std::max<std::int64_t>(0, due - SteadyMs())));
        std::uint64_t count;
        while (read(m_fdWake, &count, sizeof count) > 0) {
        }
        if (m_bStop)
            break;
        RunCommands();
        for (auto& in : m_inputs)
            DrainInput(*in);
        now = SteadyMs();
        for (auto& in : m_inputs) {
            if (in->nReconnectAtMs >= 0 && now >= in->nReconnectAtMs)
                TryOpen(*in, now);
            AnswerDue(*in, now);
        }
        if (now >= m_nRecordCheckAtMs) {
            if (m_pRecorder)
                m_pRecorder->Check();
            CreateFurtherRecords();
            for (auto& in : m_inputs) {
                if (in->pRecorder)
                    in->pRecorder->Check();
            }
            m_nRecordCheckAtMs = now + kRecordCheckMs;
        }
        if (now >= m_nAlarmTickAtMs) {
            const IByteSource* first = m_inputs.front()->pInput.get();
            bool changed = false;
            if (!first || !first->Paused()) {
                // A failover first: the alarms then see the source taken over.
                m_choice.Tick(now);
                m_compare.Tick(now);
                changed = Announce(now);
                changed = m_alarms.Tick(now) || changed;
            }
            if (changed)
                Notify();
            TickSources(now);
            m_nAlarmTickAtMs = now + kAlarmTickMs;
        }
    }
}

void CInstrumentSession::RunCommands() {
    std::vector<std::function<void()>> commands;
    {
        std::lock_guard<std::mutex> guard(m_commandLock);
        commands.swap(m_commands);
    }
    for (auto& command : commands)
        command();
}

void CInstrumentSession::DrainInput(Input& in) {
    // A source that wakes us (a serial port): everything its thread took; one
    // with a clock (a replay): what is due, a block a turn of the loop.
    while (in.pInput && in.pInput->PollFd() < 0) {
        in.read.Clear();
        LinkState lost;
        const bool ok = in.pInput->Take(0, in.read, &lost);
        ProcessReadOf(in, in.read, SteadyMs());
        if (!ok)
            LoseInput(in, lost);
        else if (!in.read.bytes.empty() && in.pInput->TakeAtMs() < 0)
            continue;
        break;
    }
}

void CInstrumentSession::OnInputReady(Input& in, short revents) {
    const bool wasConnected = in.pInput->IsConnected();
    in.read.Clear();
    LinkState lost;
    const bool ok = in.pInput->Take(revents, in.read, &lost);
    // Its senders noted, its datagrams framed one by one, the system's drops counted.
    SourceCounts counts = in.counts; // written on this thread only
    in.pInput->Account(m_pRecorder ? static_cast<IEventSink&>(*m_pRecorder) : NoEvents(), counts);
    {
        std::lock_guard<std::mutex> guard(m_healthLock);
        in.counts = counts;
    }
    ProcessReadOf(in, in.read, SteadyMs());
    LogDatagramsLost(in, SteadyMs());
    if (!ok) {
        LoseInput(in, lost);
    } else if (!wasConnected && in.pInput->IsConnected()) {
        in.pInput->ResetRetry();
        SetLink(in, in.pInput->State(LinkState::Kind::Connected));
    }
}

void CInstrumentSession::ProcessRead(const SourceRead& read, std::int64_t nowMs) {
    ProcessReadOf(*m_inputs.front(), read, nowMs);
}

void CInstrumentSession::ProcessReadOf(Input& in, const SourceRead& read, std::int64_t nowMs) {
    if (read.bAfterJump)
        m_monitor.BreakCurves(); // no line across a seek
    if (read.bDatagrams)
        ProcessInput(in, read.bytes.data(), read.ends.data(), read.ends.size(), true, nowMs);
    else if (!read.bytes.empty()) {
        const std::size_t count = read.bytes.size();
        ProcessInput(in, read.bytes.data(), &count, 1, false, nowMs);
    }
}

void CInstrumentSession::LoseInput(Input& in, const LinkState& lost) {
    CloseInput(in); // a line cut short is dropped, not glued to the next connection's
    SetLink(in, lost);
    in.nReconnectAtMs = SteadyMs() + in.pInput->NextRetryMs();
}

void CInstrumentSession::CloseInput(Input& in) {
    if (in.pInput)
        in.pInput->Close();
    in.answersAtMs.clear(); // asked for on a connection that is gone
    if (in.framer.Reset())
        m_nPartialMessages.fetch_add(1);
}

void CInstrumentSession::TryOpen(Input& in, std::int64_t nowMs) {
    in.nReconnectAtMs = -1;
    if (!in.pInput) {
        SetLink(in, {LinkState::Kind::NoDevice, in.nPort, {}, 0, 0, {}, {}});
        return;
    }
    LinkState state;
    const bool opened = in.pInput->Open(&state);
    if (opened) {
        if (state.kind == LinkState::Kind::Connected)
            in.pInput->ResetRetry();
        std::lock_guard<std::mutex> guard(m_healthLock);
        in.counts.senders = CUdpSenders(); // this source's, from now on
    }
    SetLink(in, state);
    // Kept trying: the adapter may be plugged in, the server come up.
    if (!opened && state.kind != LinkState::Kind::NoDevice)
        in.nReconnectAtMs = nowMs + in.pInput->NextRetryMs();
}

void CInstrumentSession::SetLink(Input& in, const LinkState& state) {
    bool wasConnected = false;
    {
        std::lock_guard<std::mutex> guard(m_linkLock);
        if (SameLink(in.link, state))
            return;
        wasConnected = in.link.kind == LinkState::Kind::Connected;
        in.link = state;
        in.link.nSinceMs = SteadyMs();
        if (state.kind == LinkState::Kind::Connected)
            ++in.nConnections;
    }
    const bool connected = state.kind == LinkState::Kind::Connected;
    // A further source's lines name it; the first's stay as they always were.
    std::string where = state.strSource;
    if (&in != m_inputs.front().get()) {
        const std::string& what = state.strSource.empty() ? state.strDevice : state.strSource;
        where = what.empty() ? in.strLabel : in.strLabel + " " + what;
    }
    if (wasConnected && !connected) {
        in.bLinkLost = true;
        Log("link", "lost", where);
    } else if (connected && in.bLinkLost) {
        in.bLinkLost = false;
        Log("link", "restored", where);
    }
    Notify();
}

void CInstrumentSession::Process(const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs) {
    ProcessInput(*m_inputs.front(), bytes, &count, 1, false, nowMs);
}

void CInstrumentSession::ProcessParts(const std::uint8_t* bytes, const std::size_t* ends,
                                      std::size_t parts, bool wholes, std::int64_t nowMs) {
    ProcessInput(*m_inputs.front(), bytes, ends, parts, wholes, nowMs);
}

std::string CInstrumentSession::LabelOf(int source) const {
    if (source < 0 || source >= static_cast<int>(m_inputs.size()))
        return {};
    const Input& in = *m_inputs[static_cast<std::size_t>(source)];
    if (!in.strLabel.empty())
        return in.strLabel;
    const LinkState& link = in.link; // this thread writes it: read without the lock
    return !link.strSource.empty()   ? link.strSource
           : !link.strDevice.empty() ? link.strDevice
                                     : "1";
}

unsigned CInstrumentSession::Choose(std::size_t i, const SentenceReading& reading,
                                    std::int64_t nowMs) {
    const int source = static_cast<int>(i);
    for (const Observation& o : reading) {
        m_choice.Observe(source, o.quantity, o.validity, o.value.dNumber, nowMs);
        if (o.validity == Validity::Valid &&
            (o.quantity == Quantity::Heading || o.quantity == Quantity::TrueFromMagnetic))
            m_compare.Observe({source, o.quantity == Quantity::TrueFromMagnetic}, o.value.dNumber,
                              nowMs);
    }
    unsigned take = 0;
    for (int q = 0; q < kQuantities; ++q) {
        if (m_choice.Chosen(static_cast<Quantity>(q)) == source)
            take |= 1u << q;
    }
    return take;
}

bool CInstrumentSession::Announce(std::int64_t nowMs, std::string_view origin) {
    bool changed = false;
    const std::vector<CSourceChoice::Switch> switches = m_choice.TakeSwitches();
    bool headingSwitched = false;
    for (const CSourceChoice::Switch& s : switches) {
        // The first value believed is no switch.
        if (s.from == CSourceChoice::kNone)
            continue;
        const std::string from = LabelOf(s.from), to = LabelOf(s.to);
        Log(QuantityName(s.quantity), s.failback ? "source-failback" : "source-switch", from, to);
        // The displays show the new source's last value now, not at its next
        // message: a failover leaves no gap (and no data alarm) behind it.
        const SourceReading& reading = m_choice.Reading(s.to, s.quantity);
        if (reading.state == SourceState::Valid && s.quantity != Quantity::Position)
            m_monitor.TakeValue(s.quantity, reading.value, reading.receivedMs);
        // The heading's switch is the one the status bar tells of.
        if (headingSwitched)
            continue;
        headingSwitched = s.quantity == Quantity::Heading;
        SourceSwitchNotice notice{s.quantity, from, to, s.failback, 0};
        std::lock_guard<std::mutex> guard(m_healthLock);
        notice.nSerial = m_lastSwitch.nSerial + 1;
        m_lastSwitch = notice;
        changed = true;
    }
    bool pairsMoved = false;
    // The alarm shows the most urgent state of the pairs.
    static constexpr AlertState kUrgency[] = {
        AlertState::Normal, AlertState::ActiveAcknowledged, AlertState::RectifiedUnacknowledged,
        AlertState::ActiveSilenced, AlertState::ActiveUnacknowledged};
    const auto urgency = [](AlertState state) {
        return std::find(std::begin(kUrgency), std::end(kUrgency), state) - std::begin(kUrgency);
    };
    AlertState shown = AlertState::Normal;
    for (CHeadingCompare::Pair& pair : m_compare.Pairs()) {
        if (urgency(pair.alert.State()) > urgency(shown))
            shown = pair.alert.State();
        for (const CAlert::Change& change : pair.alert.TakeChanges()) {
            Log("heading-difference", AlertEventName(change.to),
                origin.empty() ? CEventLog::Number(change.value) : std::string(origin),
                CEventLog::Number(change.limit));
            if (change.to == AlertState::ActiveUnacknowledged &&
                change.from != AlertState::ActiveSilenced)
                m_monitor.MarkAlarm();
            pairsMoved = true;
        }
    }
    if (m_alarms.Show(AlarmSubject::HeadingDifference, shown))
        changed = true;
    // The heading dial's second pointer: the other side of the first pair
    // that holds the source shown.
    if (m_inputs.size() > 1) {
        const int shownHeading = m_choice.Chosen(Quantity::Heading);
        std::string label;
        double compared = 0;
        std::int64_t at = -1;
        for (const CHeadingCompare::Pair& pair : m_compare.Pairs()) {
            const bool a = pair.a.source == shownHeading && !pair.a.magnetic;
            if (!a && !(pair.b.source == shownHeading && !pair.b.magnetic))
                continue;
            const CHeadingCompare::Track other = a ? pair.b : pair.a;
            const SourceReading& r = m_choice.Reading(
                other.source, other.magnetic ? Quantity::TrueFromMagnetic : Quantity::Heading);
            if (r.state == SourceState::Unavailable)
                continue;
            label = LabelOf(other.source);
            compared = r.value;
            at = r.receivedMs;
            break;
        }
        m_monitor.SetComparedHeading(label, compared, at);
    }
    // The heading shown against the course shown, both valid and fresh.
    CourseCheck course;
    const auto fresh = [&](Quantity q, double* value) {
        const int s = m_choice.Chosen(q);
        if (s == CSourceChoice::kNone)
            return false;
        const SourceReading& r = m_choice.Reading(s, q);
        *value = r.value;
        return r.state == SourceState::Valid && nowMs - r.receivedMs <= m_choice.Settings().staleMs;
    };
    double heading = 0, track = 0, knots = 0;
    if (fresh(Quantity::Heading, &heading) && fresh(Quantity::Course, &track) &&
        fresh(Quantity::Speed, &knots))
        course = CheckCourse(heading, track, knots, m_courseSettings);
    if (course.bSuspect != m_bCourseSuspect) {
        m_bCourseSuspect = course.bSuspect;
        Log("heading", course.bSuspect ? "cog-suspect" : "cog-normal",
            CEventLog::Number(course.dDelta), CEventLog::Number(m_courseSettings.limit));
    }
    // What the window reads: the sources' readings, the choice, the pairs.
    std::lock_guard<std::mutex> guard(m_healthLock);
    for (std::size_t i = 0; i < m_sourceStatus.size() && i < m_inputs.size(); ++i) {
        m_sourceStatus[i].strLabel = LabelOf(static_cast<int>(i));
        for (int q = 0; q < kQuantities; ++q)
            m_sourceStatus[i].readings[q] =
                m_choice.Reading(static_cast<int>(i), static_cast<Quantity>(q));
    }
    for (int q = 0; q < kQuantities; ++q) {
        const int chosen = m_choice.Chosen(static_cast<Quantity>(q));
        if (chosen != m_chosen[q] && m_inputs.size() > 1)
            m_monitor.SetSourceLabel(static_cast<Quantity>(q), LabelOf(chosen));
        m_chosen[q] = chosen;
    }
    const auto& pairs = m_compare.Pairs();
    if (m_pairStatus.size() != pairs.size())
        pairsMoved = true;
    m_course = course;
    m_pairStatus.resize(pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        HeadingPairStatus& status = m_pairStatus[i];
        const CHeadingCompare::Pair& pair = pairs[i];
        status.strA = LabelOf(pair.a.source);
        status.strB = LabelOf(pair.b.source);
        status.bMagneticA = pair.a.magnetic;
        status.bMagneticB = pair.b.magnetic;
        status.dDelta = pair.delta;
        status.bFresh = m_compare.Fresh(pair, nowMs);
        status.dLimit = pair.Limit(m_compare.Settings());
        status.state = pair.alert.State();
    }
    return changed || pairsMoved;
}

void CInstrumentSession::ProcessInput(Input& in, const std::uint8_t* bytes, const std::size_t* ends,
                                      std::size_t parts, bool wholes, std::int64_t nowMs) {
    if (parts == 0)
        return;
    m_nLastByteMs.store(nowMs, std::memory_order_relaxed);
    const bool first = &in == m_inputs.front().get();
    const std::size_t index =
        static_cast<std::size_t>(std::find_if(m_inputs.begin(), m_inputs.end(),
                                              [&](const auto& p) { return p.get() == &in; }) -
                                 m_inputs.begin());
    // A further source keeps its own record; the first's is the session's.
    std::string& recordBatch = first ? m_recordBatch : in.recordBatch;
    std::vector<std::size_t>& timesBatch = first ? m_timesBatch : in.timesBatch;
    std::uint64_t messages = 0;
    // One lock a read, not a message: the window's copy waits at most for the
    // framing of one read.
    std::unique_lock<std::mutex> health(m_healthLock);
    std::optional<CMonitorState::CHeldValues> values(std::in_place, m_monitor);
    const std::int64_t utcMs = CEventLog::NowUtcMs();
    const auto choose = [&](const SentenceReading& reading) {
        return Choose(index, reading, nowMs);
    };
    const auto onMessage = [&](const FramedMessage& message) {
        const std::string_view text = message.Text();
        recordBatch.append(text);
        if (message.bTextLine && m_pSharing && m_pSharing->Wanted())
            m_pSharing->Add(text);
        if (!text.empty()) // an empty packet leaves nothing in the record
            timesBatch.push_back(message.bTextLine ? text.size() << 9
                                                   : text.size() << 9 | message.nType << 1 | 1);
        const CMonitorState::Kind kind = m_monitor.Interpret(message, nowMs, m_reading, choose);
        m_counts.Count(message, m_reading, nowMs);
        // The comparison is the same for the same angles at the same time:
        // a heading, a position or a packet within one read changes nothing.
        if ((nowMs != m_alarms.MeasuredMs() || kind == CMonitorState::Kind::Pitch ||
             kind == CMonitorState::Kind::Roll || kind == CMonitorState::Kind::Attitude) &&
            m_alarms.Measure(nowMs))
            Notify();
        CMessageQueue::Encode(m_queueBatch, message);
        ++messages;
        if (message.nType == 'n' && in.pInput && in.pInput->CanAnswer()) {
            in.pInput->AnswerComing();
            // The instrument wants a pause before the answer.
            in.answersAtMs.push_back(nowMs + kAnswerDelayMs);
        }
    };
    for (std::size_t i = 0, at = 0; i < parts; at = ends[i++]) {
        if (!wholes) {
            in.framer.Feed(bytes + at, ends[i] - at, onMessage);
            continue;
        }
        // A bridge network's datagram: its sentences follow the header; one
        // with another header holds no text (recorded, never framed).
        const Udp450Header header = ReadUdp450Header(bytes + at, ends[i] - at);
        if (header.kind == Udp450Header::Kind::Other) {
            ++in.nOtherDatagrams;
            continue;
        }
        in.framer.Feed(bytes + at + header.nLength, ends[i] - at - header.nLength, onMessage);
        in.framer.EndMessage(onMessage); // a datagram's end ends its last message, whole or not
    }
    values.reset();
    health.unlock();
    // The read as read, then the messages of it in one write, before the next
    // read is taken.
    CSessionRecorder* recorder = first ? m_pRecorder.get() : in.pRecorder.get();
    if (recorder)
        recorder->Write(bytes, ends, parts, wholes, recordBatch, timesBatch, utcMs);
    if (messages == 0)
        return;
    recordBatch.clear();
    timesBatch.clear();
    if (m_inputs.size() > 1)
        Announce(nowMs); // a failover is at once, not at the next tick
    if (m_pSharing)
        m_pSharing->Flush();
    m_queue.Add(m_queueBatch);
    m_queueBatch.clear();
    const std::uint64_t dropped = m_queue.DroppedBytes();
    if (dropped != m_nDroppedLogged) {
        Log("input", "dropped", std::to_string(dropped - m_nDroppedLogged));
        m_nDroppedLogged = dropped;
    }
    m_nMessages.fetch_add(messages, std::memory_order_relaxed);
    Notify();
}

void CInstrumentSession::AnswerDue(Input& in, std::int64_t nowMs) {
    while (!in.answersAtMs.empty() && in.answersAtMs.front() <= nowMs) {
        in.answersAtMs.pop_front();
        if (!in.pInput || !in.pInput->CanAnswer())
            continue;
        std::uint8_t packet[32];
        const int length = m_commandBuilder.Build(kAnswerCommand, packet);
        in.pInput->Answer(packet, static_cast<std::size_t>(length));
    }
}
