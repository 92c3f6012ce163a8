#include "platform/WrittenFiles.h"

#include <algorithm>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace {
struct Written {
    int fd;
    dev_t device;
    ino_t inode;
};

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

std::vector<Written>& Files() {
    static std::vector<Written> files;
    return files;
}
} // namespace

void NoteWrittenFile(int fd) {
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0)
        return;
    const std::lock_guard<std::mutex> hold(Lock());
    Files().push_back({fd, info.st_dev, info.st_ino});
}

void ForgetWrittenFile(int fd) {
    const std::lock_guard<std::mutex> hold(Lock());
    std::erase_if(Files(), [fd](const Written& w) { return w.fd == fd; });
}

bool IsWrittenFile(dev_t device, ino_t inode) {
    const std::lock_guard<std::mutex> hold(Lock());
    return std::any_of(Files().begin(), Files().end(),
                       [&](const Written& w) { return w.device == device && w.inode == inode; });
}
