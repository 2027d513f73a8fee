/* Preloaded into the app by the end-to-end test and the download benchmark:
 * records, in order, the calls that make a clip durable (its writes,
 * fdatasync, rename, the folder's fsync) into the file named by
 * ZU_DURABILITY_TRACE, one line each ending in the CLOCK_MONOTONIC seconds it
 * returned at, so the test can see the order, and the benchmark the moment
 * the clip is durable, that no other way shows. With ZU_DURABILITY_FIRST_WRITE
 * set (the benchmark) only the first write is recorded: the app being timed
 * pays for no more than that. Short writes can be made too (below). What
 * the app sends to the system log is recorded as well, by priority. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;

static void record(const char *what, const char *a, const char *b)
{
    const char *trace = getenv("ZU_DURABILITY_TRACE");
    if (!trace)
        return;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    pthread_mutex_lock(&lock);
    FILE *out = fopen(trace, "a");
    if (out) {
        fprintf(out, "%s %s%s%s %ld.%09ld\n", what, a, b ? " " : "", b ? b : "", (long)now.tv_sec, now.tv_nsec);
        fclose(out);
    }
    pthread_mutex_unlock(&lock);
}

static void pathOf(int fd, char *path, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, size - 1);
    path[n > 0 ? n : 0] = '\0';
}

/* A write into a partial download, plain or positioned, as one step. */
static ssize_t written(int fd, ssize_t done)
{
    static int firstOnly = -1, seen = 0;
    if (firstOnly < 0)
        firstOnly = getenv("ZU_DURABILITY_FIRST_WRITE") != NULL;
    if (firstOnly && seen)
        return done;
    char path[PATH_MAX];
    if (fd > 2 && done > 0) {
        pathOf(fd, path, sizeof path);
        if (strstr(path, ".part-")) {
            record("write", path, NULL);
            seen = 1;
        }
    }
    return done;
}

/* The next definition of `name`, looked up once: every write of the app goes through here. */
static void *next(void **slot, const char *name)
{
    if (!*slot)
        *slot = dlsym(RTLD_NEXT, name);
    return *slot;
}

ssize_t write(int fd, const void *data, size_t size)
{
    static void *slot;
    ssize_t (*real)(int, const void *, size_t);
    *(void **)&real = next(&slot, "write"); /* as POSIX shows it */
    return written(fd, real(fd, data, size));
}

/* With ZU_DURABILITY_SHORT_WRITES set, a positioned write into a partial
 * download writes only its first half (in whole pages, for O_DIRECT), as a
 * signal or a nearly full disk may cut it short, and every other one is
 * interrupted before it writes anything: the app writes the rest, or again. */
static size_t shortened(int fd, size_t size, int *interrupted)
{
    static int calls;
    char path[PATH_MAX];
    *interrupted = 0;
    if (!getenv("ZU_DURABILITY_SHORT_WRITES") || size < 8192)
        return size;
    pathOf(fd, path, sizeof path);
    if (!strstr(path, ".part-"))
        return size;
    *interrupted = __atomic_fetch_add(&calls, 1, __ATOMIC_RELAXED) % 2;
    return (size / 2) & ~(size_t)4095;
}

static ssize_t positioned(void **slot, const char *what, int fd, const void *data, size_t size, off_t at)
{
    ssize_t (*real)(int, const void *, size_t, off_t);
    *(void **)&real = next(slot, what);
    int interrupted;
    size = shortened(fd, size, &interrupted);
    if (interrupted) {
        errno = EINTR;
        return -1;
    }
    return written(fd, real(fd, data, size, at));
}

ssize_t pwrite(int fd, const void *data, size_t size, off_t at)
{
    static void *slot;
    return positioned(&slot, "pwrite", fd, data, size, at);
}

ssize_t pwrite64(int fd, const void *data, size_t size, off_t at)
{
    static void *slot;
    return positioned(&slot, "pwrite64", fd, data, size, at);
}

/* fdatasync and fsync alike: the call, then a line naming the file. */
static int synced(const char *what, int fd)
{
    int (*real)(int);
    *(void **)&real = dlsym(RTLD_NEXT, what); /* as POSIX shows it */
    char path[PATH_MAX];
    pathOf(fd, path, sizeof path);
    const int result = real(fd);
    record(what, path, NULL);
    return result;
}

int fdatasync(int fd)
{
    return synced("fdatasync", fd);
}

int fsync(int fd)
{
    return synced("fsync", fd);
}

int rename(const char *from, const char *to)
{
    static void *slot;
    int (*real)(const char *, const char *);
    *(void **)&real = next(&slot, "rename");
    const int result = real(from, to);
    if (result == 0)
        record("rename", from, to);
    return result;
}

void openlog(const char *ident, int option, int facility)
{
    static void *slot;
    void (*real)(const char *, int, int);
    *(void **)&real = next(&slot, "openlog");
    record("openlog", ident ? ident : "(none)", NULL);
    real(ident, option, facility);
}

void syslog(int priority, const char *format, ...)
{
    static void *slot;
    void (*real)(int, const char *, ...);
    *(void **)&real = next(&slot, "syslog");
    char text[2048], level[16];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    snprintf(level, sizeof level, "%d", priority);
    record("syslog", level, text);
    real(priority, "%s", text);
}
