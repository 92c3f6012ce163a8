// The files this process is writing as it runs (its record, timing file,
// event log): nothing it writes anew (an export, a saved summary) may take
// the place of one. A file is known by its device and inode, so by any of its
// names. Plain C++; any thread.
#pragma once

#include <sys/types.h>

// fd is open for writing from now on (its file as it is now).
void NoteWrittenFile(int fd);
// fd is about to be closed.
void ForgetWrittenFile(int fd);
// Whether the file of that device and inode is one a noted descriptor holds.
bool IsWrittenFile(dev_t device, ino_t inode);
