// The status bar's texts, each worked out from what the session, its monitor
// and the window know at one moment, written down in StatusFacts: no window
// is needed to say what a pane would read.
#pragma once

#include "link/AlarmSettings.h"
#include "link/InstrumentSession.h"

#include <QString>
#include <QStringList>
#include <cstdint>

struct StatusFacts {
    std::int64_t nNowMs = 0; // SteadyMs() at that moment
    // The live session: where the data comes from, the record, the sharing.
    LinkState link;
    std::int64_t nLastByteMs = -1;
    QString strSource;    // the data source's URL as chosen, empty for the port
    QString strBadSource; // why the Source setting cannot be used; empty when it can
    RecordState record;
    ServeState serve;
    std::uint64_t nMessages = 0;         // framed
    std::uint64_t nChecksumFailures = 0; // text lines whose "*hh" did not match
    std::uint64_t nPartialMessages = 0;  // incomplete when the link was lost
    // The session shown: the replay's while one runs, else the live one.
    AlarmStates alarms;
    int nPitchLimit = AlarmSettings{}.pitchLimit;
    int nRollLimit = AlarmSettings{}.rollLimit;
    std::int64_t nStaleMs = AlarmSettings{}.StaleMs();
    CLiveValues values;
    // What the operator has not yet clicked away.
    QStringList badSettings;
    std::uint64_t nRecordLostBytes = 0; // the record lost to a full disk
    std::uint64_t nUnshownMessages = 0; // left out of the window's queue
    // Several sources: the last switch of the source shown, the heading's source.
    SourceSwitchNotice lastSwitch;
    QString strHeadingSource;
};

// The link pane: the port or network source and its state, silence included.
QString LinkPaneText(const StatusFacts& facts);
// The link pane's tool tip: the counts of messages.
QString LinkPaneToolTip(const StatusFacts& facts);
// What is said of the record, on several lines (a warning at the start);
// RecordPaneText gives it on one.
QString RecordText(const RecordState& record);
QString RecordPaneText(const StatusFacts& facts);
QString AlarmPaneText(const StatusFacts& facts);
// Several sources: "航向来源：compass", and after a switch
// "航向来源切换：compass → gyro" until the next.
QString SourcePaneText(const StatusFacts& facts);
// The values no longer refreshed.
QString StalePaneText(const StatusFacts& facts);
// What stays until the operator clicks it away: settings that could not be
// used, bytes the record lost, messages the window could not show.
QString NoticePaneText(const StatusFacts& facts);
// The sharing, where the operator must know of it: open to the network, or
// not taking clients for want of descriptors.
QString ServePaneText(const ServeState& serve);
// What to do when the port may not be opened: join the device's group, or,
// for a device only root may use, hand it to dialout first. Reads the
// device's owner and mode.
QString NoPermissionText(const QString& port, const QString& device);
