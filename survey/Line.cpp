#include "survey/Line.h"
#include "platform/UiText.h"

namespace {
// Where a record's continuation marker lies.
constexpr std::size_t kContinuationAt = 16;

void PutInt(std::string& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((u >> shift) & 0xFF));
}

std::int32_t GetInt(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
} // namespace

void CLine::Store(std::string& out) const {
    for (int v : {m_nStartX, m_nStartY, m_nEndX, m_nEndY, m_nContinuation, m_nGroup})
        PutInt(out, v);
}

void CLine::Load(const std::uint8_t* record) {
    m_nStartX = GetInt(record);
    m_nStartY = GetInt(record + 4);
    m_nEndX = GetInt(record + 8);
    m_nEndY = GetInt(record + 12);
    m_nContinuation = GetInt(record + kContinuationAt);
    m_nGroup = GetInt(record + 20);
}

std::string StoreDocument(int lineFlag, const std::vector<CLine>& lines) {
    std::string out;
    out.reserve(4 + lines.size() * CLine::kRecordSize);
    PutInt(out, lineFlag);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        CLine line = lines[i];
        line.SetContinuation(i + 1 == lines.size() ? CLine::kLast : CLine::kMore);
        line.Store(out);
    }
    return out;
}

bool LoadDocument(const std::uint8_t* bytes, std::size_t size, int* lineFlag,
                  std::vector<CLine>* lines, std::string* reason) {
    if (size < 4) {
        *reason = UiText("Line", "文件太短，不是 Quillmar 文档");
        return false;
    }
    const int flag = GetInt(bytes);
    if (flag != 0 && flag != 1) {
        // The program only ever writes 0 or 1 here.
        *reason = UiText("Line", "不是 Quillmar 文档");
        return false;
    }
    // Segments follow only a flag of 1. A flag of 1 alone is a document saved
    // after the line tool was armed but before anything was drawn. The chain
    // of continuation markers is walked in place first, so that a chain
    // running past the end is refused before anything is built.
    constexpr std::size_t kRecord = CLine::kRecordSize;
    std::size_t count = 0;
    if (flag == 1 && size > 4) {
        for (std::size_t at = 4;; at += kRecord) {
            if (size - at < kRecord) {
                *reason = FillIn(UiText("Line", "文件在第 %1 条线段处中断，已损坏"),
                                 {std::to_string(count + 1)});
                return false;
            }
            ++count;
            if (GetInt(bytes + at + kContinuationAt) != CLine::kMore)
                break;
        }
    }
    std::vector<CLine> read(count);
    for (std::size_t i = 0; i < count; ++i)
        read[i].Load(bytes + 4 + i * kRecord);
    if (count > 0)
        read.back().SetContinuation(CLine::kMore); // further segments may follow it
    *lineFlag = flag;
    *lines = std::move(read);
    return true;
}
