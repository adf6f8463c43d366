// Preloaded into the extension by the crash-consistency test: kills the process (SIGKILL) at its
// k-th fsync or fdatasync, before the call, where VORLA_CRASH_AT_FSYNC is k. Every earlier
// synchronisation has returned; nothing of the k-th is done. With k = 0 it only counts, and
// writes the number of calls to VORLA_CRASH_COUNT_FILE when the process ends.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static atomic_long calls;

static long crashAt(void) {
    static long at = -1;
    if (at < 0) {
        const char* text = getenv("VORLA_CRASH_AT_FSYNC");
        at = text ? atol(text) : 0;
    }
    return at;
}

typedef int (*SyncFunction)(int);

// Counts the call, kills the process at the k-th, else does what the real function does.
static int synchronize(const char* name, SyncFunction* real, int descriptor) {
    if (!*real) {
        *real = (SyncFunction)dlsym(RTLD_NEXT, name);
    }
    if (atomic_fetch_add(&calls, 1) + 1 == crashAt()) {
        kill(getpid(), SIGKILL);
    }
    return (*real)(descriptor);
}

int fsync(int descriptor) {
    static SyncFunction real;
    return synchronize("fsync", &real, descriptor);
}

int fdatasync(int descriptor) {
    static SyncFunction real;
    return synchronize("fdatasync", &real, descriptor);
}

__attribute__((destructor)) static void report(void) {
    const char* path = getenv("VORLA_CRASH_COUNT_FILE");
    if (path && crashAt() == 0) {
        FILE* file = fopen(path, "w");
        if (file) {
            fprintf(file, "%ld\n", atomic_load(&calls));
            fclose(file);
        }
    }
}
