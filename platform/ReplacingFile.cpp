#include "platform/ReplacingFile.h"
#include "platform/UiText.h"

#include "platform/ErrorText.h"
#include "platform/WrittenFiles.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A file by its device and inode; one that is not there by its folder's and
// its name, so that two spellings of one place compare equal either way.
struct Identity {
    bool bKnown = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string strLeaf;
    bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0)
        return {true, info.st_dev, info.st_ino, {}};
    if (errno != ENOENT)
        return {};
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    if (leaf.empty() || stat(folder.c_str(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, std::move(leaf)};
}

// Why path must not be replaced; empty when it may be.
std::string Refusal(const std::string& path, const std::vector<KeptFile>& kept) {
    struct stat info {};
    const bool there = stat(path.c_str(), &info) == 0;
    if (there && !S_ISREG(info.st_mode))
        return UiText("ReplacingFile",
                      "它不是普通文件（而是设备、管道、套接字或文件夹），不能被替换");
    if (!kept.empty()) {
        const Identity target = IdentityOf(path);
        for (const KeptFile& file : kept) {
            if (target.bKnown && IdentityOf(file.path) == target)
                return FillIn(UiText("ReplacingFile", "这是%1，不能覆盖它"), {file.what});
        }
    }
    if (there && IsWrittenFile(info.st_dev, info.st_ino))
        return UiText("ReplacingFile", "本程序正在写入这个文件，不能覆盖它");
    return {};
}

// The process that made a temporary of ours, ".NAME.PID-N.tmp"; 0 when name
// is not one.
pid_t TemporaryOwner(std::string_view name) {
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() < 2 || name[0] != '.' || !name.ends_with(kSuffix))
        return 0;
    name.remove_suffix(kSuffix.size());
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < 2)
        return 0;
    const std::string_view serial = name.substr(dot + 1);
    const std::size_t dash = serial.find('-');
    if (dash == std::string_view::npos)
        return 0;
    const auto digits = [](std::string_view text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    const std::string_view pid = serial.substr(0, dash);
    if (!digits(pid) || !digits(serial.substr(dash + 1)))
        return 0;
    long owner = 0;
    const auto [end, error] = std::from_chars(pid.data(), pid.data() + pid.size(), owner);
    return error == std::errc() && end == pid.data() + pid.size() && owner <= INT_MAX
               ? static_cast<pid_t>(owner)
               : 0;
}

// Temporaries of ours in folder whose process has gone (killed in the middle
// of a replacement): nothing else will ever remove them.
void RemoveStaleTemporaries(const std::string& folder) {
    DIR* const dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        const pid_t owner = TemporaryOwner(entry->d_name);
        if (owner <= 0 || owner == getpid() || kill(owner, 0) == 0 || errno != ESRCH)
            continue;
        struct stat info {};
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}
} // namespace

CReplacingFile::~CReplacingFile() {
    if (m_fd >= 0) {
        close(m_fd);
        unlink(m_strTemp.c_str());
    }
}

bool CReplacingFile::Fail(int error) {
    m_nError = error;
    if (m_fd >= 0) {
        close(m_fd);
        unlink(m_strTemp.c_str());
        m_fd = -1;
    }
    return false;
}

bool CReplacingFile::Refuse(std::string reason) {
    m_strRefusal = std::move(reason);
    return Fail(0);
}

bool CReplacingFile::Open(const std::string& path, std::vector<KeptFile> kept) {
    static std::atomic<unsigned> s_nSerial{0};
    m_strPath = path;
    m_kept = std::move(kept);
    m_nError = 0;
    m_strRefusal.clear();
    m_nWritten = m_nFlushing = 0;
    if (std::string refusal = Refusal(m_strPath, m_kept); !refusal.empty())
        return Refuse(std::move(refusal));
    // Beside the target, so the rename stays on one file system; hidden, so
    // a folder listing does not show it while it is written. Created with the
    // usual permissions (0666 less the umask), as the target would be.
    const std::size_t slash = path.rfind('/');
    const std::size_t cut = slash == std::string::npos ? 0 : slash + 1;
    RemoveStaleTemporaries(path.substr(0, cut));
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strTemp = path.substr(0, cut) + "." + path.substr(cut) + "." + std::to_string(getpid()) +
                    "-" + std::to_string(s_nSerial++) + ".tmp";
        m_fd = open(m_strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            return true;
        if (errno != EEXIST)
            return Fail(errno);
    }
    return Fail(EEXIST);
}

bool CReplacingFile::Write(std::string_view bytes) {
    if (m_fd < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t written = write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        m_nWritten += static_cast<std::uint64_t>(written);
    }
    // The disk starts on what is written while the rest is made, so that the
    // flush before the rename has little left to wait for.
    if (m_nWritten - m_nFlushing >= kFlushStep) {
        sync_file_range(m_fd, static_cast<off_t>(m_nFlushing),
                        static_cast<off_t>(m_nWritten - m_nFlushing), SYNC_FILE_RANGE_WRITE);
        m_nFlushing = m_nWritten;
    }
    return true;
}

bool CReplacingFile::Commit() {
    if (m_fd < 0)
        return false;
    // On the disk before it takes the target's name: after a power cut the
    // name holds the old file or the whole new one.
    if (fsync(m_fd) != 0)
        return Fail(errno);
    if (close(m_fd) != 0) {
        m_fd = -1;
        const int error = errno;
        unlink(m_strTemp.c_str());
        return Fail(error);
    }
    m_fd = -1;
    // The target may have become something else while the bytes were made.
    if (std::string refusal = Refusal(m_strPath, m_kept); !refusal.empty()) {
        unlink(m_strTemp.c_str());
        return Refuse(std::move(refusal));
    }
    if (rename(m_strTemp.c_str(), m_strPath.c_str()) != 0) {
        const int error = errno;
        unlink(m_strTemp.c_str());
        return Fail(error);
    }
    return true;
}

std::string CReplacingFile::ErrorText() const {
    return FillIn(UiText("ReplacingFile", "无法写入文件：%1\n%2"),
                  {m_strPath, m_strRefusal.empty() ? SystemErrorText(m_nError) : m_strRefusal});
}

std::string ReplaceRefusal(const std::string& path, const std::vector<KeptFile>& kept) {
    const std::string refusal = Refusal(path, kept);
    return refusal.empty()
               ? refusal
               : FillIn(UiText("ReplacingFile", "无法写入文件：%1\n%2"), {path, refusal});
}

std::string ReplaceFile(const std::string& path, std::string_view bytes,
                        std::vector<KeptFile> kept) {
    CReplacingFile file;
    if (file.Open(path, std::move(kept)) && file.Write(bytes) && file.Commit())
        return {};
    return file.ErrorText();
}
