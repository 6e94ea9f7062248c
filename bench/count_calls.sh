#!/usr/bin/env bash
# Counts the file-system calls a command makes on a client-data tree, per session:
#   bench/count_calls.sh [-w] [-o PREFIX] TREE SESSIONS COMMAND...
# TREE is the tree's absolute Linux path (a Windows program is given its Z: form on its own
# command line; TREE here stays the Linux path). Prints one line,
#   calls TOTAL per_session CALLS server_per_session SERVER_CALLS
# and leaves PREFIX.out (the command's output), PREFIX.trace (strace -f -yy of it),
# PREFIX.calls (the counted calls by system call: name, count, per session) and PREFIX.other
# (calls on the tree that do not count). -w also traces the Wine server of $WINEPREFIX while
# the command runs (PREFIX.server.trace) and adds its calls on the tree: Wine opens files in
# its server and hands the descriptors over, so a share sees those calls as the program's.
# Default PREFIX: build/bench/counts/run.
#
# A call counts when it reaches the file system of the tree, which on a share means a round
# trip, and names the tree: a path argument below TREE (also in Wine's form
# .../dosdevices/z:TREE/...), a descriptor open on a file or folder below TREE (strace -yy
# shows its path), or, for a file opened again through /proc/self/fd, the descriptor it
# returns. Failed calls count too: a server answers them all the same. Counted:
#   open openat openat2 creat open_by_handle_at        close
#   read pread64 readv preadv preadv2 write pwrite64 writev pwritev pwritev2
#   sendfile copy_file_range                           getdents getdents64
#   stat lstat fstat newfstatat statx statfs fstatfs   access faccessat faccessat2
#   readlink readlinkat                                lseek, except SEEK_CUR
#   rename renameat renameat2 link linkat symlink symlinkat unlink unlinkat
#   mkdir mkdirat rmdir mknod mknodat                  fsync fdatasync sync_file_range syncfs
#   chmod fchmod fchmodat chown fchown fchownat lchown truncate ftruncate fallocate
#   utime utimes utimensat futimesat                   the *xattr family (Wine keeps DOS attributes there)
#   flock, fcntl taking or testing a lock              chdir
#   mmap of a tree file, ioctl on a tree descriptor (Wine asks for FS_IOC_GETFLAGS and tries
#   VFAT_IOCTL_READDIR_BOTH; both reach the file system's driver), inotify_add_watch
# Not counted, but listed in PREFIX.other when they name the tree: calls that only touch the
# process's own state or the open file's own position, none of which goes to a server (dup
# dup2 dup3, fchdir, fcntl without a lock, lseek SEEK_CUR, fadvise64, close_range), and
# terminal ioctls (TCGETS: "is this a terminal?", answered ENOTTY for any file by the kernel).
# Paths are matched as given, so give the command the tree's absolute path.
set -euo pipefail

out=build/bench/counts/run
with_server=false
while getopts "wo:" option; do
    case $option in
        w) with_server=true ;;
        o) out=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -lt 3 ] || [ "${1:0:1}" != / ]; then
    echo "usage: bench/count_calls.sh [-w] [-o PREFIX] /ABSOLUTE/TREE SESSIONS COMMAND..." >&2
    exit 2
fi
tree=${1%/}
sessions=$2
shift 2
mkdir -p "$(dirname "$out")"

# The Wine server of $WINEPREFIX: the one whose working folder is the prefix's server folder,
# .../server-DEV-INODE, with the prefix's device and inode numbers in hexadecimal.
wineserver_pid() {
    local dev ino folder pid
    read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX")
    folder=$(printf 'server-%x-%x' "$dev" "$ino")
    for pid in $(pgrep '^wineserver'); do
        if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$folder" ]; then
            echo "$pid"
            return 0
        fi
    done
    echo "count_calls: no Wine server runs for $WINEPREFIX (start one with wineserver -p)" >&2
    return 1
}

# attach_server PID: strace on the running server, back once it is attached.
attach_server() {
    rm -f "$out.server.trace" "$out.server.log"
    strace -f -yy -s 0 -p "$1" -o "$out.server.trace" 2>"$out.server.log" &
    server_tracer=$!
    for _ in $(seq 100); do
        grep -q attached "$out.server.log" 2>/dev/null && return 0
        sleep 0.05
    done
    echo "count_calls: could not attach to the Wine server $1" >&2
    return 1
}

# The server lets go of a finished program's files just after it ends: give it a moment.
detach_server() {
    sleep 0.5
    kill -INT "$server_tracer"
    wait "$server_tracer" || true
}

server_tracer=
traces=("$out.trace")
if $with_server; then
    server_pid=$(wineserver_pid)
    attach_server "$server_pid"
    traces+=("$out.server.trace")
fi
status=0
strace -f -qq -yy -s 0 -o "$out.trace" -- "$@" >"$out.out" || status=$?
if $with_server; then
    detach_server
fi
[ "$status" -eq 0 ] || echo "count_calls: the command ended with status $status" >&2

awk -v tree="$tree" -v sessions="$sessions" -v calls="$out.calls" -v other="$out.other" '
    BEGIN {
        n = split("open openat openat2 creat open_by_handle_at close read pread64 readv preadv preadv2 " \
                  "write pwrite64 writev pwritev pwritev2 sendfile copy_file_range getdents getdents64 " \
                  "stat lstat fstat newfstatat statx statfs fstatfs access faccessat faccessat2 " \
                  "readlink readlinkat lseek rename renameat renameat2 link linkat symlink symlinkat " \
                  "unlink unlinkat mkdir mkdirat rmdir mknod mknodat fsync fdatasync sync_file_range " \
                  "syncfs chmod fchmod fchmodat chown fchown fchownat lchown truncate ftruncate " \
                  "fallocate utime utimes utimensat futimesat getxattr lgetxattr fgetxattr setxattr " \
                  "lsetxattr fsetxattr listxattr llistxattr flistxattr removexattr lremovexattr " \
                  "fremovexattr flock fcntl chdir mmap ioctl inotify_add_watch", names, " ")
        for (i = 1; i <= n; i++) counted[names[i]] = 1
    }
    # The arguments a call is given, without what it returns.
    function arguments(line, name,    cut) {
        cut = index(line, ") = ")
        if (cut == 0) cut = index(line, " <unfinished")
        if (cut > 0) line = substr(line, 1, cut)
        # readlink fills its second argument with a path: that is an answer, not a question.
        if (name == "readlink") sub(/, "[^"]*"[^,]*, [0-9]+\)?$/, ")", line)
        if (name == "readlinkat") sub(/, "[^"]*"[^,]*, [0-9]+\)?$/, ")", line)
        return line
    }
    function names_tree(args) {
        return index(args, "<" tree "/") || index(args, "<" tree ">") || index(args, "\"" tree "/") ||
               index(args, "\"" tree "\"") || index(args, ":" tree "/") || index(args, ":" tree "\"")
    }
    function add(head) {
        count[head]++
        total++
        if (FILENAME ~ /server\.trace$/) server++
    }
    # The second half of a call already seen. A file of the tree opened again through
    # /proc/self/fd names the tree only in its answer, which comes here where a call of another
    # thread came between.
    /^[0-9]+ +<\.\.\. / {
        tid = $1
        if (tid in reopening && names_tree(substr($0, index($0, ") = ")))) add(reopening[tid])
        delete reopening[tid]
        next
    }
    {
        if (!match($0, /^[0-9]+ +[a-z0-9_]+\(/)) next
        head = substr($0, RSTART, RLENGTH - 1)
        sub(/^[0-9]+ +/, "", head)
        args = arguments($0, head)
        if (head ~ /^open/ && args ~ /"\/proc\/self\/fd\//) {
            if (index($0, " <unfinished")) {
                reopening[$1] = head
                next
            }
            if (names_tree(substr($0, index($0, ") = ")))) args = $0
        }
        if (!names_tree(args)) next
        if (!(head in counted)) { seen[head]++; next }
        if (head == "fcntl" && args !~ /F_(SETLK|SETLKW|GETLK|OFD_SETLK|OFD_SETLKW|OFD_GETLK)/) { seen["fcntl:no-lock"]++; next }
        if (head == "lseek" && args ~ /SEEK_CUR/) { seen["lseek:SEEK_CUR"]++; next }
        if (head == "ioctl" && args ~ /, (TC[A-Z]+|TIOC[A-Z]+)[,)]/) { seen["ioctl:terminal"]++; next }
        add(head)
    }
    END {
        printf "" > calls; close(calls)
        printf "" > other; close(other)
        for (name in count) printf "%s %d %.2f\n", name, count[name], count[name] / sessions | "sort -k2,2nr >" calls
        close("sort -k2,2nr >" calls)
        for (name in seen) printf "%s %d %.2f\n", name, seen[name], seen[name] / sessions | "sort -k2,2nr >" other
        printf "calls %d per_session %.2f server_per_session %.2f\n", total, total / sessions, server / sessions
    }
' "${traces[@]}"
