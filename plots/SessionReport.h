// A session summary (plots/SessionSummary.h) as the operator reads it and as
// a spreadsheet takes it. Plain C++, UTF-8.
//
// The CSV has the header "kind,subject,event,value,limit,time,record" and one
// row a fact: records (value: the count), duration (value: seconds, time: the
// start), messages (subject: the type, value: the count), max (subject pitch
// or roll, value: the angle, limit: the one in force then, time and record
// where it came), beyond-records and beyond-seconds (subject, value, limit;
// a pair for each limit in force during the recording), gap (value: its
// length in seconds, limit: StaleSeconds, time: its start, record: the last
// before it) and event (the event log's line). Times are UTC, ISO 8601 with
// milliseconds. The CSV is data: its words and numbers are the same whatever
// the window's language and the locale.
#pragma once

#include "plots/SessionSummary.h"

#include <string>

std::string SessionSummaryText(const SessionSummary& summary, const std::string& path);
// One further source's heading against the first's, in a line (no end).
std::string HeadingAgreementText(const HeadingAgreement& agreement);
std::string SessionSummaryCsv(const SessionSummary& summary);
