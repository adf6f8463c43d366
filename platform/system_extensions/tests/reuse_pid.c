// Forks until a child gets the process id asked for, and lets that child run the program: a
// process of whoever runs this takes over an id that a record of the registry still names.
//
//     reuse_pid PID SECONDS EXECUTABLE ARGUMENT0 [ARGUMENT...]
//
// vfork, as the child only execs or exits: it copies no memory, so the ids come round several
// times faster.
//
// Exits 0 once the child runs, 2 when the time ran out, 77 as soon as the fork rate of the
// first seconds says the ids come round too slowly to reach PID in time (a large pid_max), with
// the reason on standard error.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
    struct timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    return (double)time.tv_sec + (double)time.tv_nsec / 1e9;
}

static long pidMax(void) {
    long value = 32768;
    FILE* file = fopen("/proc/sys/kernel/pid_max", "r");
    if (file != NULL) {
        if (fscanf(file, "%ld", &value) != 1) {
            value = 32768;
        }
        fclose(file);
    }
    return value;
}

int main(int argc, char* argv[]) {
    if (argc < 5) {
        fprintf(stderr, "usage: reuse_pid PID SECONDS EXECUTABLE ARGUMENT0 [ARGUMENT...]\n");
        return 64;
    }
    const pid_t target = (pid_t)atol(argv[1]);
    const double seconds = atof(argv[2]);
    const long maximum = pidMax();
    const double start = now();
    long forks = 0;
    for (long attempt = 1;; ++attempt) {
        const pid_t child = vfork();
        if (child == 0) {
            if (getpid() == target) {
                // Whoever waits for this helper's output must not wait for the program too.
                const int none = open("/dev/null", O_RDWR);
                dup2(none, STDOUT_FILENO);
                dup2(none, STDERR_FILENO);
                execv(argv[3], argv + 4);
            }
            _exit(0);
        }
        if (child == target) {
            return 0;
        }
        if (child > 0) {
            waitpid(child, NULL, 0);
            ++forks;
        } else if (errno != EAGAIN) {
            perror("fork");
            return 1;
        }
        if (attempt % 256 != 0) {
            continue;
        }
        const double elapsed = now() - start;
        if (elapsed > seconds) {
            fprintf(stderr, "pid %ld not reached in %.0f s\n", (long)target, seconds);
            return 2;
        }
        const long distance = ((long)target - (long)child + maximum) % maximum;
        if (elapsed >= 5.0 && child > 0 &&
            (double)distance / ((double)forks / elapsed) > seconds - elapsed) {
            fprintf(stderr,
                    "pid_max is %ld: at %.0f forks a second pid %ld comes round only in %.0f s\n",
                    maximum, (double)forks / elapsed, (long)target,
                    (double)distance / ((double)forks / elapsed));
            return 77;
        }
    }
}
