/* Checks the share shim: makes ROUNDS rounds of the file-system calls the scans use below
 * FOLDER and one call outside it, and prints how many calls on FOLDER it made and how long
 * they took:
 *   shim_check FOLDER OUTSIDE ROUNDS      ->  "calls N seconds S"
 * Run once without delay and once with it, the difference per call is the delay the shim
 * really adds; the shim's own count (VEMOR_SHIM_STATS) must equal N, since the call outside
 * FOLDER must not wait.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static long calls;

static void fail(const char* what) {
    perror(what);
    exit(1);
}

static void check(int ok, const char* what) {
    ++calls;
    if (!ok) fail(what);
}

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void read_file(const char* path) {
    char buffer[4096];
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    check(fd >= 0, "open");
    ssize_t n;
    do {
        n = read(fd, buffer, sizeof buffer);
        check(n >= 0, "read");
    } while (n > 0);
    check(close(fd) == 0, "close");
}

/* glibc's pattern, which the shim repeats: openat, fstat, getdents64 until empty, close. */
static void list_folder(const char* path) {
    DIR* dir = opendir(path);
    check(dir != NULL, "opendir");
    ++calls;  /* opendir's fstat */
    ++calls;  /* the getdents64 that brings the few entries */
    if (readdir(dir)) {
        while (readdir(dir)) {}
        ++calls;  /* the empty getdents64 that ends the listing */
    }
    check(closedir(dir) == 0, "closedir");
}

static void replace_file(const char* folder, const char* path) {
    char temporary[4096];
    snprintf(temporary, sizeof temporary, "%s/.new", folder);
    const int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    check(fd >= 0, "open new");
    check(write(fd, "[A]\r\nB=1\r\n", 10) == 10, "write");
    check(fchmod(fd, 0644) == 0, "fchmod");
    check(fsync(fd) == 0, "fsync");
    check(close(fd) == 0, "close new");
    check(rename(temporary, path) == 0, "rename");
}

/* The in-place change: both kinds of lock a writer may take, the changed byte, the flush and
 * the read-back. */
static void change_in_place(const char* path) {
    char back[16];
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    check(fd >= 0, "open in place");
    struct flock lock = {.l_type = F_WRLCK, .l_whence = SEEK_SET};
    check(fcntl(fd, F_OFD_SETLK, &lock) == 0, "fcntl F_OFD_SETLK");
    check(flock(fd, LOCK_EX | LOCK_NB) == 0, "flock");
    check(pwrite(fd, "1", 1, 8) == 1, "pwrite");
    check(fdatasync(fd) == 0, "fdatasync");
    check(pread(fd, back, sizeof back, 0) == 10, "pread");
    check(fcntl(fd, F_GETFD) >= 0, "fcntl F_GETFD");
    --calls;  /* F_GETFD stays with the descriptor: no round trip */
    check(close(fd) == 0, "close in place");
}

static void temporary_file(const char* folder) {
    char name[4096];
    snprintf(name, sizeof name, "%s/tmpXXXXXX", folder);
    const int fd = mkstemp(name);
    check(fd >= 0, "mkstemp");
    check(close(fd) == 0, "close temporary");
    check(unlink(name) == 0, "unlink");
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: shim_check FOLDER OUTSIDE ROUNDS\n");
        return 2;
    }
    const char* folder = argv[1];
    const char* outside = argv[2];
    const long rounds = atol(argv[3]);
    char path[4096];
    snprintf(path, sizeof path, "%s/sitzung.dat", folder);
    struct stat info;
    /* Changes first, counted but not timed: fsync's own time varies far more than a delay. */
    for (long r = 0; r < rounds / 10 + 1; ++r) {
        replace_file(folder, path);
        change_in_place(path);
        temporary_file(folder);
    }
    const long changes = calls;
    const double start = now();
    for (long r = 0; r < rounds; ++r) {
        check(stat(path, &info) == 0, "stat");
        read_file(path);
        list_folder(folder);
        check(access(path, R_OK) == 0, "access");
        if (stat(outside, &info) != 0) fail("stat outside");  /* must not wait */
    }
    const double seconds = now() - start;
    printf("calls %ld seconds %.6f total %ld\n", calls - changes, seconds, calls);
    return 0;
}
