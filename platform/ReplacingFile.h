// Writing a file that takes the place of another whole (an export, a saved
// summary): the bytes go to a temporary file beside the target, which is
// renamed over it only once all of them reached the disk. A crash, a full disk
// or an error leaves the old file (or none), never half a new one. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CReplacingFile {
public:
    CReplacingFile() = default;
    // Removes the temporary file unless committed.
    ~CReplacingFile();
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Each returns false with Error() (errno) set on failure; after a failure
    // the temporary is gone and the target untouched.
    bool Open(const std::string& path);
    bool Write(std::string_view bytes);
    bool Commit();
    int Error() const { return m_nError; }

    // "无法写入文件：<path>\n<the system's reason>".
    std::string ErrorText() const;

private:
    bool Fail(int error);

    static constexpr std::uint64_t kFlushStep = 8u << 20;

    int m_fd = -1;
    int m_nError = 0;
    std::uint64_t m_nWritten = 0, m_nFlushing = 0;
    std::string m_strPath, m_strTemp;
};

// The whole of bytes into path; empty on success, else ErrorText().
std::string ReplaceFile(const std::string& path, std::string_view bytes);
