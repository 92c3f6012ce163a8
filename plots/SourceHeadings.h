// A session recorded from several sources, looked back on: each further
// source's true heading (its record beside the first's, `<stem>-<label>.txt`)
// against the first source's. The recorded headings are fed, in order of
// receive time, through the same comparison the live monitor runs
// (CHeadingCompare), so the figures are what it saw: how often the two were
// compared, how far apart they were, how long the difference stayed at or
// beyond the limit and how often the difference alarm started. Plain C++; the
// records are read as they stream by, so a month of them costs no memory.
#pragma once

#include "link/HeadingCompare.h"
#include "link/Sentences.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct HeadingAgreement {
    std::string strLabel; // the further source
    std::string strPath;
    std::string strError;        // why its record could not be read; empty: read
    std::uint64_t nHeadings = 0; // its valid true headings
    std::uint64_t nCompared = 0; // comparisons with the first source's heading
    double dMeanAbs = 0;         // mean |difference|, degrees
    double dLargest = 0;         // the largest difference, signed (this source - the first)
    std::int64_t nLargestUtcMs = 0;
    std::int64_t nBeyondMs = 0; // time at or beyond the limit
    int nAlarms = 0;            // times the difference alarm started
    double dLimit = 0;
    bool operator==(const HeadingAgreement&) const = default;
};

// One per further record beside firstRecordPath (none for a single source);
// empty as well when cancel is set before the end.
std::vector<HeadingAgreement> CompareRecordedHeadings(const std::string& firstRecordPath,
                                                      const HeadingCompareSettings& settings,
                                                      const SentenceOptions& options = {},
                                                      const std::atomic<bool>* cancel = nullptr);
