// One straight segment drawn with the view's line tool, and the document
// file that keeps them: a 32-bit line flag, then one 24-byte little-endian
// record per segment (start x, start y, end x, end y, continuation marker,
// group marker), the last marked 4 and the others 1. Plain C++: the fuzzer
// reads documents without Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CLine {
public:
    static constexpr int kRecordSize = 24;
    // Continuation markers: another element follows, or this is the last one.
    static constexpr int kMore = 1;
    static constexpr int kLast = 4;

    CLine() = default;
    CLine(int x1, int y1, int x2, int y2)
        : m_nStartX(x1), m_nStartY(y1), m_nEndX(x2), m_nEndY(y2) {}

    void Store(std::string& out) const;
    // Reads one record from at least kRecordSize bytes.
    void Load(const std::uint8_t* record);

    int Continuation() const { return m_nContinuation; }
    void SetContinuation(int marker) { m_nContinuation = marker; }
    int Group() const { return m_nGroup; }

    bool operator==(const CLine&) const = default;

    int m_nContinuation = kMore;
    int m_nGroup = 1;
    int m_nStartX = 0, m_nStartY = 0;
    int m_nEndX = 0, m_nEndY = 0;
};

// The file's bytes for a line flag and its segments.
std::string StoreDocument(int lineFlag, const std::vector<CLine>& lines);

// Reads a document file's bytes. All or nothing: on false, *reason says why
// (in the user's language) and the outputs are untouched.
bool LoadDocument(const std::uint8_t* bytes, std::size_t size, int* lineFlag,
                  std::vector<CLine>* lines, std::string* reason);
