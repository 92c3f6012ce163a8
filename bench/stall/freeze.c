// Stops one thread of a running process for a while (the others run on), as
// a window that hangs in a long paint or a stuck call does: ptrace seize and
// interrupt, then detach.
//   freeze TID SECONDS
#include <stdio.h>
#include <stdlib.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: freeze TID SECONDS\n", stderr);
        return 2;
    }
    const pid_t tid = atoi(argv[1]);
    const double seconds = atof(argv[2]);
    if (ptrace(PTRACE_SEIZE, tid, 0, 0) != 0 || ptrace(PTRACE_INTERRUPT, tid, 0, 0) != 0) {
        perror("freeze");
        return 1;
    }
    int status;
    waitpid(tid, &status, __WALL);
    usleep((useconds_t)(seconds * 1e6));
    ptrace(PTRACE_DETACH, tid, 0, 0);
    return 0;
}
