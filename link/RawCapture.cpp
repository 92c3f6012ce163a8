#include "link/RawCapture.h"

std::string CRawCapture::PathFor(const std::string& recordPath) {
    return BesideRecord(recordPath, "-raw.bin");
}

bool CRawCapture::Open(const std::string& recordPath, std::int64_t baseUtcMs, std::string* error) {
    const std::string path = PathFor(recordPath);
    if (!m_file.Replace(path, error))
        return false;
    if (!m_times.Open(path, baseUtcMs, error))
        m_times.Close(); // the bytes without their times still
    return true;
}

void CRawCapture::Close() {
    m_file.Flush();
    m_file.Close();
    m_times.Close();
}

void CRawCapture::Add(std::string_view bytes, std::int64_t utcMs, bool whole) {
    if (!m_file.IsOpen() || bytes.empty())
        return;
    const std::size_t dropped = m_file.DroppedBytes();
    m_file.Write(bytes);
    // A read the capture had to leave out gets no time: later times stay with their reads.
    if (m_file.DroppedBytes() != dropped)
        return;
    if (whole)
        m_times.AddWhole(bytes, utcMs);
    else
        m_times.Add(bytes, false, utcMs);
    m_times.WriteBatch();
}

bool CRawCapture::Check(std::int64_t utcMs) {
    if (!m_file.IsOpen())
        return true;
    if (m_file.IsRemoved()) {
        // What it held is gone with it: a fresh capture from the next read on.
        const std::string path = m_file.Path();
        if (m_file.Replace(path, nullptr) && !m_times.Open(path, utcMs, nullptr))
            m_times.Close();
    }
    m_times.Flush();
    return m_file.Flush();
}
