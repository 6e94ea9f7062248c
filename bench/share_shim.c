/* A client-data tree on a server share, simulated: every file-system call on the tree waits a
 * fixed time first, as a network round trip would make it.
 *
 *   cc -shared -fPIC -O2 -o share_shim.so bench/share_shim.c -ldl
 *   LD_PRELOAD=./share_shim.so VEMOR_SHIM_DELAY_US=200 VEMOR_SHIM_ROOT=/path/to/tree COMMAND...
 *
 * VEMOR_SHIM_DELAY_US  wait per call in microseconds (fractions allowed); 0 intercepts and counts
 *                      without waiting
 * VEMOR_SHIM_ROOT      the "share": only calls on paths below it, and on descriptors opened
 *                      below it, wait. Unset: every path counts. The program, its libraries and
 *                      an interpreter's own modules stay local, as they would in a practice.
 * VEMOR_SHIM_STATS     file to which each process appends, at exit, how many calls waited, by
 *                      function: the cross-check against the strace count.
 *
 * Which descriptors wait: only those opened through this shim on a share path (a table of one
 * byte per descriptor, set on open and cleared on close). Standard input and output, pipes,
 * sockets and local files never wait, and no fstat is needed to tell them apart.
 *
 * How it waits: it sleeps (clock_nanosleep to an absolute time, timer slack cut to 1 ns) until
 * VEMOR_SHIM_SPIN_US (default 50) before the end, then spins on CLOCK_MONOTONIC (vDSO, no system
 * call) to the end. nanosleep alone overshoots by the timer slack (50 us by default) plus the
 * wake-up latency, tens of microseconds on a virtual machine. A spin alone is exact on an idle
 * machine, but a spinning process is what the scheduler preempts first when other jobs run, and
 * then it overshoots by whole time slices; a sleeper is woken promptly, and the short spin at
 * the end absorbs its wake-up latency. On a loaded machine every wait still grows: run.sh
 * measures the delay it really got and prints the load.
 *
 * Locks wait too (fcntl's record and open-file locks, flock): a server keeps them.
 *
 * glibc's opendir, readdir, fopen, mkstemp and realpath reach the kernel inside libc, past any
 * preloaded symbol, so the shim brings its own directory stream on getdents64 that makes the
 * same kernel calls as glibc's (openat and fstat on opening, getdents64 per 32 KB, close), and
 * wraps the others whole. stdio reads after fopen are not seen; none of the programs measured
 * reads the tree through stdio.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#define MAX_FD 65536

static long long delay_ns;
static char root[PATH_MAX];
static size_t root_len;
static int all_paths = 1;
static unsigned char on_share[MAX_FD];

enum kind { K_OPEN, K_CLOSE, K_READ, K_WRITE, K_STAT, K_FSTAT, K_GETDENTS, K_LSEEK, K_RENAME, K_FSYNC,
            K_ATTR, K_UNLINK, K_ACCESS, K_READLINK, K_MKDIR, K_LOCK, K_COUNT };
static const char* const kind_names[K_COUNT] = {"open", "close", "read", "write", "stat", "fstat", "getdents64",
                                                "lseek", "rename", "fsync", "chmod-chown", "unlink", "access",
                                                "readlink", "mkdir", "lock"};
static long counts[K_COUNT];

#define REAL(name) \
    static __typeof__(name)* real_##name; \
    if (!real_##name) real_##name = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

static long long spin_ns = 50000;

static long long monotonic_ns(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

static void wait_round_trip(enum kind k) {
    __atomic_add_fetch(&counts[k], 1, __ATOMIC_RELAXED);
    if (delay_ns <= 0) return;
    const long long end = monotonic_ns() + delay_ns;
    if (delay_ns > spin_ns) {
        const long long wake = end - spin_ns;
        const struct timespec until = {(time_t)(wake / 1000000000LL), (long)(wake % 1000000000LL)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) == EINTR) {}
    }
    while (monotonic_ns() < end) {}
}

static int below_root(const char* absolute) {
    return strncmp(absolute, root, root_len) == 0 && (absolute[root_len] == '\0' || absolute[root_len] == '/');
}

static int fd_on_share(int fd) {
    return fd >= 0 && fd < MAX_FD && on_share[fd];
}

static void mark(int fd, int share) {
    if (fd >= 0 && fd < MAX_FD) on_share[fd] = (unsigned char)share;
}

/* A relative path is on the share when the folder it is taken from is; an open descriptor
 * opened again through /proc when it is, as the server opens that file once more. */
static int path_on_share(int dirfd, const char* path) {
    if (all_paths) return 1;
    if (!path) return 0;
    static const char kProcFd[] = "/proc/self/fd/";
    if (strncmp(path, kProcFd, sizeof kProcFd - 1) == 0) return fd_on_share(atoi(path + sizeof kProcFd - 1));
    if (path[0] == '/') return below_root(path);
    if (dirfd != AT_FDCWD) return fd_on_share(dirfd);
    char cwd[PATH_MAX];
    return getcwd(cwd, sizeof cwd) && below_root(cwd);
}

static void wait_path(int dirfd, const char* path, enum kind k) {
    if (path_on_share(dirfd, path)) wait_round_trip(k);
}

static void wait_fd(int fd, enum kind k) {
    if (fd_on_share(fd)) wait_round_trip(k);
}

__attribute__((constructor)) static void shim_start(void) {
    const char* delay = getenv("VEMOR_SHIM_DELAY_US");
    if (delay) delay_ns = (long long)(strtod(delay, NULL) * 1000.0);
    const char* spin = getenv("VEMOR_SHIM_SPIN_US");
    if (spin) spin_ns = (long long)(strtod(spin, NULL) * 1000.0);
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);  /* wake when asked, not up to 50 us later */
    const char* share = getenv("VEMOR_SHIM_ROOT");
    if (share && *share) {
        char* (*resolve)(const char*, char*) = (char* (*)(const char*, char*))dlsym(RTLD_NEXT, "realpath");
        if (!resolve || !resolve(share, root)) snprintf(root, sizeof root, "%s", share);
        root_len = strlen(root);
        while (root_len > 1 && root[root_len - 1] == '/') root[--root_len] = '\0';
        all_paths = 0;
    }
}

__attribute__((destructor)) static void shim_stop(void) {
    const char* stats = getenv("VEMOR_SHIM_STATS");
    if (!stats || !*stats) return;
    char line[1024];
    long total = 0;
    for (int k = 0; k < K_COUNT; ++k) total += counts[k];
    int n = snprintf(line, sizeof line, "%d total=%ld", (int)getpid(), total);
    for (int k = 0; k < K_COUNT && n < (int)sizeof line - 40; ++k)
        if (counts[k]) n += snprintf(line + n, sizeof line - (size_t)n, " %s=%ld", kind_names[k], counts[k]);
    n += snprintf(line + n, sizeof line - (size_t)n, "\n");
    const int fd = (int)syscall(SYS_openat, AT_FDCWD, stats, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    if (write(fd, line, (size_t)n) < 0) { /* nothing to be done at exit */ }
    syscall(SYS_close, fd);
}

/* ---- opening and closing ---- */

static int mode_needed(int flags) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

static int opened(int fd, int share) {
    mark(fd, share && fd >= 0);
    return fd;
}

int openat(int dirfd, const char* path, int flags, ...) {
    mode_t mode = 0;
    if (mode_needed(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    REAL(openat);
    const int share = path_on_share(dirfd, path);
    if (share) wait_round_trip(K_OPEN);
    return opened(real_openat(dirfd, path, flags, mode), share);
}

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (mode_needed(flags)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return openat(AT_FDCWD, path, flags, mode);
}

/* On x86_64 the 64 variants are the same calls. */
int open64(const char* path, int flags, ...) __attribute__((alias("open")));
int openat64(int dirfd, const char* path, int flags, ...) __attribute__((alias("openat")));
int __open_2(const char* path, int flags) { return openat(AT_FDCWD, path, flags); }
int __open64_2(const char* path, int flags) { return openat(AT_FDCWD, path, flags); }
int __openat_2(int dirfd, const char* path, int flags) { return openat(dirfd, path, flags); }
int __openat64_2(int dirfd, const char* path, int flags) { return openat(dirfd, path, flags); }
int creat(const char* path, mode_t mode) { return openat(AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC, mode); }
int creat64(const char* path, mode_t mode) { return creat(path, mode); }

int close(int fd) {
    REAL(close);
    wait_fd(fd, K_CLOSE);
    mark(fd, 0);
    return real_close(fd);
}

int dup(int fd) {
    REAL(dup);
    const int copy = real_dup(fd);
    return opened(copy, fd_on_share(fd));
}

int dup2(int fd, int to) {
    REAL(dup2);
    const int copy = real_dup2(fd, to);
    return opened(copy, fd_on_share(fd));
}

int dup3(int fd, int to, int flags) {
    REAL(dup3);
    const int copy = real_dup3(fd, to, flags);
    return opened(copy, fd_on_share(fd));
}

/* A lock is kept by the server, so taking, testing or dropping one is a round trip; the other
 * commands stay with the process's own descriptor. */
static int is_lock(int command) {
    return command == F_SETLK || command == F_SETLKW || command == F_GETLK || command == F_OFD_SETLK ||
           command == F_OFD_SETLKW || command == F_OFD_GETLK;
}

int fcntl(int fd, int command, ...) {
    va_list ap;
    va_start(ap, command);
    void* argument = va_arg(ap, void*);  /* an int or a pointer: either fits, as in glibc */
    va_end(ap);
    REAL(fcntl);
    if (is_lock(command)) wait_fd(fd, K_LOCK);
    const int result = real_fcntl(fd, command, argument);
    if (command == F_DUPFD || command == F_DUPFD_CLOEXEC) return opened(result, fd_on_share(fd));
    return result;
}
int fcntl64(int fd, int command, ...) __attribute__((alias("fcntl")));

int flock(int fd, int how) {
    REAL(flock);
    wait_fd(fd, K_LOCK);
    return real_flock(fd, how);
}

/* mkstemp and its kin open inside libc: one open on the share per call. */
#define TEMPFILE(name, params, args)          \
    int name params {                         \
        REAL(name);                           \
        const int share = path_on_share(AT_FDCWD, tmpl); \
        if (share) wait_round_trip(K_OPEN);   \
        return opened(real_##name args, share); \
    }
TEMPFILE(mkstemp, (char* tmpl), (tmpl))
TEMPFILE(mkstemp64, (char* tmpl), (tmpl))
TEMPFILE(mkostemp, (char* tmpl, int flags), (tmpl, flags))
TEMPFILE(mkostemp64, (char* tmpl, int flags), (tmpl, flags))
TEMPFILE(mkstemps, (char* tmpl, int suffix), (tmpl, suffix))
TEMPFILE(mkostemps, (char* tmpl, int suffix, int flags), (tmpl, suffix, flags))

FILE* fopen(const char* path, const char* how) {
    REAL(fopen);
    const int share = path_on_share(AT_FDCWD, path);
    if (share) wait_round_trip(K_OPEN);
    FILE* file = real_fopen(path, how);
    if (file) mark(fileno(file), share);
    return file;
}
FILE* fopen64(const char* path, const char* how) { return fopen(path, how); }

int fclose(FILE* file) {
    REAL(fclose);
    const int fd = fileno(file);
    wait_fd(fd, K_CLOSE);
    mark(fd, 0);
    return real_fclose(file);
}

/* ---- data ---- */

ssize_t read(int fd, void* buffer, size_t size) {
    REAL(read);
    wait_fd(fd, K_READ);
    return real_read(fd, buffer, size);
}

ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
    REAL(pread);
    wait_fd(fd, K_READ);
    return real_pread(fd, buffer, size, offset);
}
ssize_t pread64(int fd, void* buffer, size_t size, off_t offset) __attribute__((alias("pread")));

ssize_t readv(int fd, const struct iovec* iov, int count) {
    REAL(readv);
    wait_fd(fd, K_READ);
    return real_readv(fd, iov, count);
}

ssize_t __read_chk(int fd, void* buffer, size_t size, size_t room) {
    if (size > room) abort();
    return read(fd, buffer, size);
}

ssize_t write(int fd, const void* buffer, size_t size) {
    REAL(write);
    wait_fd(fd, K_WRITE);
    return real_write(fd, buffer, size);
}

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset) {
    REAL(pwrite);
    wait_fd(fd, K_WRITE);
    return real_pwrite(fd, buffer, size, offset);
}
ssize_t pwrite64(int fd, const void* buffer, size_t size, off_t offset) __attribute__((alias("pwrite")));

ssize_t writev(int fd, const struct iovec* iov, int count) {
    REAL(writev);
    wait_fd(fd, K_WRITE);
    return real_writev(fd, iov, count);
}

/* A write that takes its flush along (RWF_DSYNC) is one round trip, as one call is. */
ssize_t pwritev2(int fd, const struct iovec* iov, int count, off_t offset, int flags) {
    REAL(pwritev2);
    wait_fd(fd, K_WRITE);
    return real_pwritev2(fd, iov, count, offset, flags);
}
ssize_t pwritev64v2(int fd, const struct iovec* iov, int count, off_t offset, int flags) __attribute__((alias("pwritev2")));

/* SEEK_CUR is answered from the open file's own position, without the file system. */
off_t lseek(int fd, off_t offset, int whence) {
    REAL(lseek);
    if (whence != SEEK_CUR) wait_fd(fd, K_LSEEK);
    return real_lseek(fd, offset, whence);
}
off_t lseek64(int fd, off_t offset, int whence) __attribute__((alias("lseek")));

int fsync(int fd) {
    REAL(fsync);
    wait_fd(fd, K_FSYNC);
    return real_fsync(fd);
}

int fdatasync(int fd) {
    REAL(fdatasync);
    wait_fd(fd, K_FSYNC);
    return real_fdatasync(fd);
}

int fallocate(int fd, int mode, off_t offset, off_t length) {
    REAL(fallocate);
    wait_fd(fd, K_WRITE);
    return real_fallocate(fd, mode, offset, length);
}

int fallocate64(int fd, int mode, off_t offset, off_t length) __attribute__((alias("fallocate")));

int ftruncate(int fd, off_t size) {
    REAL(ftruncate);
    wait_fd(fd, K_ATTR);
    return real_ftruncate(fd, size);
}

/* ---- file status ---- */

/* Out of line: glibc declares these paths non-null, so an inlined test would be dropped. */
__attribute__((noinline)) static int names_descriptor(const char* path, int flags) {
    return (flags & AT_EMPTY_PATH) && (!path || !*path);
}

int fstat(int fd, struct stat* info) {
    REAL(fstat);
    wait_fd(fd, K_FSTAT);
    return real_fstat(fd, info);
}
int fstat64(int fd, struct stat64* info) __attribute__((alias("fstat")));

int fstatat(int dirfd, const char* path, struct stat* info, int flags) {
    REAL(fstatat);
    if (names_descriptor(path, flags)) wait_fd(dirfd, K_FSTAT);
    else wait_path(dirfd, path, K_STAT);
    return real_fstatat(dirfd, path, info, flags);
}
int fstatat64(int dirfd, const char* path, struct stat64* info, int flags) __attribute__((alias("fstatat")));

int stat(const char* path, struct stat* info) {
    REAL(stat);
    wait_path(AT_FDCWD, path, K_STAT);
    return real_stat(path, info);
}
int stat64(const char* path, struct stat64* info) __attribute__((alias("stat")));

int lstat(const char* path, struct stat* info) {
    REAL(lstat);
    wait_path(AT_FDCWD, path, K_STAT);
    return real_lstat(path, info);
}
int lstat64(const char* path, struct stat64* info) __attribute__((alias("lstat")));

int statx(int dirfd, const char* path, int flags, unsigned int mask, struct statx* info) {
    REAL(statx);
    if (names_descriptor(path, flags)) wait_fd(dirfd, K_FSTAT);
    else wait_path(dirfd, path, K_STAT);
    return real_statx(dirfd, path, flags, mask, info);
}

int access(const char* path, int how) {
    REAL(access);
    wait_path(AT_FDCWD, path, K_ACCESS);
    return real_access(path, how);
}

int faccessat(int dirfd, const char* path, int how, int flags) {
    REAL(faccessat);
    wait_path(dirfd, path, K_ACCESS);
    return real_faccessat(dirfd, path, how, flags);
}

ssize_t readlink(const char* path, char* buffer, size_t size) {
    REAL(readlink);
    wait_path(AT_FDCWD, path, K_READLINK);
    return real_readlink(path, buffer, size);
}

ssize_t readlinkat(int dirfd, const char* path, char* buffer, size_t size) {
    REAL(readlinkat);
    wait_path(dirfd, path, K_READLINK);
    return real_readlinkat(dirfd, path, buffer, size);
}

/* glibc resolves a path one component at a time: one look-up per component on the share. */
static void wait_components(const char* path) {
    if (!path || all_paths) {
        if (path) wait_round_trip(K_READLINK);
        return;
    }
    char absolute[PATH_MAX];
    if (path[0] != '/') {
        if (!getcwd(absolute, sizeof absolute)) return;
        const size_t used = strlen(absolute);
        snprintf(absolute + used, sizeof absolute - used, "/%s", path);
        path = absolute;
    }
    if (!below_root(path)) return;
    wait_round_trip(K_READLINK);  /* the root itself */
    for (const char* at = path + root_len; *at; ++at)
        if (*at == '/' && at[1] && at[1] != '/') wait_round_trip(K_READLINK);
}

char* realpath(const char* path, char* resolved) {
    REAL(realpath);
    wait_components(path);
    return real_realpath(path, resolved);
}

char* canonicalize_file_name(const char* path) {
    REAL(canonicalize_file_name);
    wait_components(path);
    return real_canonicalize_file_name(path);
}

/* ---- changes ---- */

int rename(const char* from, const char* to) {
    REAL(rename);
    if (path_on_share(AT_FDCWD, from) || path_on_share(AT_FDCWD, to)) wait_round_trip(K_RENAME);
    return real_rename(from, to);
}

int renameat(int fromdir, const char* from, int todir, const char* to) {
    REAL(renameat);
    if (path_on_share(fromdir, from) || path_on_share(todir, to)) wait_round_trip(K_RENAME);
    return real_renameat(fromdir, from, todir, to);
}

int renameat2(int fromdir, const char* from, int todir, const char* to, unsigned int flags) {
    REAL(renameat2);
    if (path_on_share(fromdir, from) || path_on_share(todir, to)) wait_round_trip(K_RENAME);
    return real_renameat2(fromdir, from, todir, to, flags);
}

int unlink(const char* path) {
    REAL(unlink);
    wait_path(AT_FDCWD, path, K_UNLINK);
    return real_unlink(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
    REAL(unlinkat);
    wait_path(dirfd, path, K_UNLINK);
    return real_unlinkat(dirfd, path, flags);
}

int mkdir(const char* path, mode_t mode) {
    REAL(mkdir);
    wait_path(AT_FDCWD, path, K_MKDIR);
    return real_mkdir(path, mode);
}

int fchmod(int fd, mode_t mode) {
    REAL(fchmod);
    wait_fd(fd, K_ATTR);
    return real_fchmod(fd, mode);
}

int chmod(const char* path, mode_t mode) {
    REAL(chmod);
    wait_path(AT_FDCWD, path, K_ATTR);
    return real_chmod(path, mode);
}

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) {
    REAL(fchmodat);
    wait_path(dirfd, path, K_ATTR);
    return real_fchmodat(dirfd, path, mode, flags);
}

int fchown(int fd, uid_t owner, gid_t group) {
    REAL(fchown);
    wait_fd(fd, K_ATTR);
    return real_fchown(fd, owner, group);
}

int chown(const char* path, uid_t owner, gid_t group) {
    REAL(chown);
    wait_path(AT_FDCWD, path, K_ATTR);
    return real_chown(path, owner, group);
}

int lchown(const char* path, uid_t owner, gid_t group) {
    REAL(lchown);
    wait_path(AT_FDCWD, path, K_ATTR);
    return real_lchown(path, owner, group);
}

/* ---- directory streams of our own ---- */

struct shim_dir {
    int fd;
    size_t pos;
    size_t len;
    long last_offset;
    _Alignas(8) char buffer[32768];  /* glibc's size for the usual block sizes */
};

static DIR* dir_over(int fd) {
    struct shim_dir* dir = calloc(1, sizeof *dir);
    if (!dir) return NULL;
    dir->fd = fd;
    return (DIR*)dir;
}

DIR* opendir(const char* path) {
    const int fd = openat(AT_FDCWD, path, O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return NULL;
    struct stat info;
    if (fstat(fd, &info) != 0) {  /* glibc's opendir asks for the block size */
        close(fd);
        return NULL;
    }
    DIR* dir = dir_over(fd);
    if (!dir) close(fd);
    return dir;
}

DIR* fdopendir(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0) return NULL;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return NULL;
    }
    return dir_over(fd);
}

struct dirent64* readdir64(DIR* stream) {
    struct shim_dir* dir = (struct shim_dir*)stream;
    if (dir->pos >= dir->len) {
        wait_fd(dir->fd, K_GETDENTS);
        const int saved = errno;
        const long n = syscall(SYS_getdents64, dir->fd, dir->buffer, sizeof dir->buffer);
        if (n <= 0) {
            if (n == 0) errno = saved;
            return NULL;
        }
        dir->len = (size_t)n;
        dir->pos = 0;
    }
    struct dirent64* entry = (struct dirent64*)(dir->buffer + dir->pos);
    dir->pos += entry->d_reclen;
    dir->last_offset = entry->d_off;
    return entry;
}

ssize_t getdents64(int fd, void* buffer, size_t size) {
    wait_fd(fd, K_GETDENTS);
    return syscall(SYS_getdents64, fd, buffer, size);
}

/* struct dirent and struct dirent64 are one layout on x86_64. */
struct dirent* readdir(DIR* stream) {
    return (struct dirent*)readdir64(stream);
}

int readdir64_r(DIR* stream, struct dirent64* entry, struct dirent64** result) {
    const int saved = errno;
    errno = 0;
    struct dirent64* next = readdir64(stream);
    const int error = next ? 0 : errno;
    errno = saved;
    if (next) memcpy(entry, next, next->d_reclen < sizeof *entry ? next->d_reclen : sizeof *entry);
    *result = next ? entry : NULL;
    return error;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
int readdir_r(DIR* stream, struct dirent* entry, struct dirent** result) {
    return readdir64_r(stream, (struct dirent64*)entry, (struct dirent64**)result);
}
#pragma GCC diagnostic pop

int closedir(DIR* stream) {
    struct shim_dir* dir = (struct shim_dir*)stream;
    const int result = close(dir->fd);
    free(dir);
    return result;
}

int dirfd(DIR* stream) {
    return ((struct shim_dir*)stream)->fd;
}

void rewinddir(DIR* stream) {
    struct shim_dir* dir = (struct shim_dir*)stream;
    lseek(dir->fd, 0, SEEK_SET);
    dir->pos = dir->len = 0;
    dir->last_offset = 0;
}

long telldir(DIR* stream) {
    return ((struct shim_dir*)stream)->last_offset;
}

void seekdir(DIR* stream, long offset) {
    struct shim_dir* dir = (struct shim_dir*)stream;
    lseek(dir->fd, offset, SEEK_SET);
    dir->pos = dir->len = 0;
    dir->last_offset = offset;
}
