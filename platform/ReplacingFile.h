// Writing a file that takes the place of another whole (an export, a saved
// summary): the bytes go to a temporary file beside the target, which is
// renamed over it only once all of them reached the disk. A crash, a full disk
// or an error leaves the old file (or none), never half a new one.
//
// Only a regular file is replaced: a target that is a device, FIFO, socket or
// folder (also through a symbolic link) is refused, and so is a file this
// process is writing (platform/WrittenFiles.h) and any the caller names as
// kept (the recording an export was made from), each known by its device and
// inode whatever the spelling, or by its folder and name while it is not
// there. Both are checked on opening and again just before the rename.
//
// The temporary is ".NAME.PID-N.tmp"; one left by a process that was killed
// is removed by the next replacement in the same folder. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A file the new one must never take the place of, and what it is, for the
// refusal ("载入的文件").
struct KeptFile {
    std::string path;
    std::string what;
};

class CReplacingFile {
public:
    CReplacingFile() = default;
    // Removes the temporary file unless committed.
    ~CReplacingFile();
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Each returns false with ErrorText() set on failure (Error() the errno,
    // 0 for a refused target); after a failure the temporary is gone and the
    // target untouched.
    bool Open(const std::string& path, std::vector<KeptFile> kept = {});
    bool Write(std::string_view bytes);
    bool Commit();
    int Error() const { return m_nError; }

    // "无法写入文件：<path>\n<the system's reason, or why it was refused>".
    std::string ErrorText() const;

private:
    bool Fail(int error);
    bool Refuse(std::string reason);

    static constexpr std::uint64_t kFlushStep = 8u << 20;

    int m_fd = -1;
    int m_nError = 0;
    std::uint64_t m_nWritten = 0, m_nFlushing = 0;
    std::string m_strPath, m_strTemp, m_strRefusal;
    std::vector<KeptFile> m_kept;
};

// Why path must not be replaced (ErrorText's form), or empty when it may be:
// what Open would refuse, told before anything is written or asked.
std::string ReplaceRefusal(const std::string& path, const std::vector<KeptFile>& kept = {});

// The whole of bytes into path; empty on success, else ErrorText().
std::string ReplaceFile(const std::string& path, std::string_view bytes,
                        std::vector<KeptFile> kept = {});
