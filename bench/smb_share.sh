#!/usr/bin/env bash
# The smb section of bench/run.sh: the tree on a real Samba server across a delayed link,
# mounted through FUSE by two clients. bench/run.sh starts this script as the first process
# of new network, mount and process namespaces (unshare as root), so that the server, the
# relay and the mounts exist only in there, and the kernel ends whatever is left in them when
# this script ends, however it ends. Run it through bench/run.sh smb, never directly.
#
#   bench/smb_share.sh OUT TREE ROUNDS DELAY_MS LIMIT COMMAND_LINE
#     OUT       build/bench, where the programs are
#     TREE      the tree to share
#     ROUNDS    rounds of each measurement (median)
#     DELAY_MS  the round trip added by the relay, in milliseconds (half each way)
#     LIMIT     seconds after which a run is stopped and reported as not ended
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source bench/common.sh

[ "$$" = 1 ] || { echo "bench/smb_share.sh: run it through bench/run.sh smb" >&2; exit 2; }
out=$1
tree=$(realpath "$2")
rounds=$3
delay_ms=$4
run_limit=$5
command_line=$6
readers=16
vemor=$out/release/src/vemor-patch
windows_exe=build/windows/src/vemor-patch.exe
work=$PWD/$out/smb
share=$work/share
user=vemorbench
password=vemor-bench-only
# Clients reach the server's address through the relay's.
server_address=127.0.0.2
relay_address=127.0.0.1
pids=()
mounts=()

say() { echo "== $*" >&2; }

# The namespace would end all this anyway; the order here lets each client unmount cleanly
# and Samba write its logs.
cleanup() {
    local status=$? mount pid
    trap - EXIT INT TERM
    [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null || true
    for mount in "${mounts[@]}"; do
        fusermount -u -z "$mount" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# ---- the server ----

start_network() {
    ip link set lo up
    # Samba listens on an address of its own, the relay on the one the clients use.
    ip addr add "$server_address/8" dev lo 2>/dev/null || true
}

# A user of the benchmark's own, in this mount namespace's copy of the user database only.
add_user() {
    mkdir -p "$work/etc"
    cp /etc/passwd /etc/group "$work/etc/"
    grep -q "^$user:" "$work/etc/passwd" || echo "$user:x:64999:64999:vemor bench:/nonexistent:/usr/sbin/nologin" >>"$work/etc/passwd"
    grep -q "^$user:" "$work/etc/group" || echo "$user:x:64999:" >>"$work/etc/group"
    mount --bind "$work/etc/passwd" /etc/passwd
    mount --bind "$work/etc/group" /etc/group
}

start_samba() {
    local folder
    for folder in private state lock cache pid log ncalrpc; do mkdir -p "$work/samba/$folder"; done
    cat >"$work/samba/smb.conf" <<EOF
[global]
    server role = standalone server
    workgroup = BENCH
    netbios name = VEMORBENCH
    interfaces = $server_address
    bind interfaces only = yes
    smb ports = 445
    disable netbios = yes
    server min protocol = SMB2_10
    private dir = $work/samba/private
    state directory = $work/samba/state
    lock directory = $work/samba/lock
    cache directory = $work/samba/cache
    pid directory = $work/samba/pid
    ncalrpc dir = $work/samba/ncalrpc
    log file = $work/samba/log/%m.log
    max log size = 1000
    passdb backend = tdbsam:$work/samba/private/passdb.tdb
    map to guest = never
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = yes
    # The tree is owned by root; the practice's own files stay so after a change.
    force user = root
    unix extensions = no
[bench]
    path = $share
    read only = no
    valid users = $user
EOF
    printf '%s\n%s\n' "$password" "$password" | smbpasswd -c "$work/samba/smb.conf" -a -s "$user" >/dev/null
    smbd --foreground --no-process-group --configfile="$work/samba/smb.conf" </dev/null >"$work/samba/log/smbd.out" 2>&1 &
    pids+=($!)
    wait_for "Samba" 20 bash -c "exec 3<>/dev/tcp/$server_address/445"
}

# wait_for WHAT SECONDS COMMAND...: until COMMAND succeeds.
wait_for() {
    local what=$1 tries=$(($2 * 10))
    shift 2
    while ! "$@" 2>/dev/null; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            echo "bench/smb_share.sh: $what did not come up" >&2
            return 1
        fi
        sleep 0.1
    done
}

# start_relay STATS [MAX-CONNECTIONS]: the delayed link in front of Samba, anew for each
# client so that its count of connections is that client's.
start_relay() {
    local fifo=$work/relay.ready
    rm -f "$fifo" && mkfifo "$fifo"
    /usr/bin/python3 bench/smb_relay.py "$relay_address:445" "$server_address:445" "$(awk -v d="$delay_ms" 'BEGIN { print d / 2 }')" \
        --stats "$1" ${2:+--max-connections "$2"} >"$fifo" &
    relay_pid=$!
    pids+=("$relay_pid")
    read -r -t 10 _ <"$fifo"
    rm -f "$fifo"
}

stop_relay() {
    kill "$relay_pid"
    wait "$relay_pid" 2>/dev/null || true
}

# ---- the clients ----

# mount_smbnetfs MOUNT: the share at MOUNT/bench; smbnetfs sends one request at a time.
mount_smbnetfs() {
    local mount=$1 home=$work/smbnetfs-home
    mkdir -p "$mount" "$home/.smb"
    cat >"$home/.smb/smbnetfs.conf" <<EOF
smb_query_browsers "false"
use_libsecret "false"
show_hidden_hosts "true"
auth "$relay_address" "$user" "$password"
host $relay_address visible=true
EOF
    chmod 600 "$home/.smb/smbnetfs.conf"  # it keeps a password: smbnetfs ignores it otherwise
    # libsmbclient's own settings: no name service broadcasts, SMB2 or later.
    cat >"$home/.smb/smb.conf" <<EOF
[global]
    client min protocol = SMB2_10
    disable netbios = yes
    name resolve order = host
EOF
    HOME=$home smbnetfs "$mount" -f -o "config=$home/.smb/smbnetfs.conf" -o smb_query_browsers=false \
        -o use_libsecret=false -o log_file="$work/smbnetfs.log" 2>>"$work/smbnetfs.err" &
    client_pid=$!
    pids+=("$client_pid")
    mounts+=("$mount")
    wait_for "smbnetfs" 30 test -d "$mount/$relay_address/bench/$(ls "$share" | head -n 1)"
    client_root=$mount/$relay_address/bench
}

# mount_rclone MOUNT [CHECKERS]: the share at MOUNT through rclone's smb backend, which sends
# requests of many callers at once, each on a connection of its own from its pool.
mount_rclone() {
    local mount=$1
    shift
    mkdir -p "$mount"
    RCLONE_CONFIG=$work/rclone.conf RCLONE_CONFIG_BENCHSMB_TYPE=smb RCLONE_CONFIG_BENCHSMB_HOST=$relay_address \
        RCLONE_CONFIG_BENCHSMB_USER=$user RCLONE_CONFIG_BENCHSMB_PASS=$(rclone obscure "$password") \
        rclone mount benchsmb:bench "$mount" --config "$work/rclone.conf" --log-file "$work/rclone.log" \
        "$@" &
    client_pid=$!
    pids+=("$client_pid")
    mounts+=("$mount")
    wait_for "rclone mount" 30 test -d "$mount/$(ls "$share" | head -n 1)"
    client_root=$mount
}


# ---- the runs ----

# on_client CLIENT: mounts CLIENT afresh, so that no run finds what another left in the
# client's caches; sets client_root. Clients: smbnetfs, rclone, rclone16.
on_client() {
    local mount=$work/mnt-$1
    case $1 in
        smbnetfs) mount_smbnetfs "$mount" ;;
        rclone) mount_rclone "$mount" --vfs-cache-mode writes --vfs-write-back 0s --cache-dir "$work/rclone-cache" ;;
        rclone16) mount_rclone "$mount" --vfs-cache-mode writes --vfs-write-back 0s --cache-dir "$work/rclone-cache" ;;
    esac
    current_mount=$mount
}

off_client() {
    local tries=50
    # rclone writes a file back after its close; its unmount waits for that.
    until fusermount -u "$current_mount" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || { fusermount -u -z "$current_mount"; break; }
        sleep 0.2
    done
    local tries=100
    while kill -0 "$client_pid" 2>/dev/null && [ "$tries" -gt 0 ]; do
        sleep 0.1
        tries=$((tries - 1))
    done
    kill -KILL "$client_pid" 2>/dev/null || true
    wait "$client_pid" 2>/dev/null || true
}

# One run of NAME on CLIENT: a fresh mount, then COMMAND timed; {} in COMMAND stands for the
# folder on the mount, {w} for its Windows path. ROOT is the folder in the share.
client_run() {  # client_run CLIENT NAME ROOT COMMAND...
    local client=$1 name=$2 root=$3 dir=$work/runs/$1 args=() arg folder
    shift 3
    on_client "$client"
    folder=$client_root/$root
    for arg in "$@"; do
        case $arg in
            {}) args+=("$folder") ;;
            {w}) args+=("$(windows_path "$folder")") ;;
            *) args+=("$arg") ;;
        esac
    done
    say "$client: $name"
    local file=$dir/$name start end status=0
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$file.kb" timeout -k 5 "$run_limit" "${args[@]}" >"$file.out" || status=$?
    end=$EPOCHREALTIME
    off_client
    # A client that waits forever for a connection must not stop the other runs.
    run_ended=true
    if [ "$status" = 124 ] || [ "$status" = 137 ]; then
        run_ended=false
        echo "$run_limit" >>"$file.timeout"
        say "$client: $name did not end within $run_limit s"
        return 0
    fi
    [ "$status" = 0 ] || { echo "bench/smb_share.sh: $client $name failed ($status)" >&2; exit "$status"; }
    echo "$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }') $(tail -n 1 "$file.kb")" >>"$file"
    cp "$file.out" "$file.out.$(wc -l <"$file")"
}

# The read runs and the apply runs of one client, each round starting with the next run.
client_section() {
    local client=$1 dir=$work/runs/$1 round i name reads applies
    mkdir -p "$dir"
    reads=(floor_read floor_read_overlapped preview_on preview_off preview_auto peer wine_preview_on wine_preview_off)
    applies=(floor_apply floor_apply_overlapped apply_on apply_off apply_auto wine_apply_on wine_apply_off)
    for round in $(seq "$rounds"); do
        for i in "${!reads[@]}"; do
            name=${reads[$(((round - 1 + i) % ${#reads[@]}))]}
            ! picked "$name" || read_run "$client" "$name"
        done
    done
    for round in $(seq "$rounds"); do
        for i in "${!applies[@]}"; do
            name=${applies[$(((round - 1 + i) % ${#applies[@]}))]}
            picked "$name" || continue
            fresh_copy "$tree" "$share/apply"
            apply_run "$client" "$name"
            # A run stopped half way leaves a tree half patched, which is no result.
            ! $run_ended || [ ! -f "$dir/$name" ] || manifest "$share/apply" >"$dir/$name.manifest.$(wc -l <"$dir/$name")"
        done
    done
}

# picked NAME: whether SMB_RUNS (in the environment; default: every run) names NAME.
picked() { [ -z "${SMB_RUNS:-}" ] || [[ " $SMB_RUNS " == *" $1 "* ]]; }

read_run() {  # read_run CLIENT NAME
    case $2 in
        floor_read) client_run "$1" "$2" read "$out/floor" read {} ;;
        floor_read_overlapped) client_run "$1" "$2" read "$out/floor" read {} "$readers" ;;
        preview_on | preview_off) client_run "$1" "$2" read env VEMOR_PATCH_READ_AHEAD="${2#preview_}" "$vemor" preview {} ;;
        preview_auto) client_run "$1" "$2" read env -u VEMOR_PATCH_READ_AHEAD "$vemor" preview {} ;;
        peer) client_run "$1" "$2" read /usr/bin/python3 bench/peer.py {} ;;
        wine_preview_*) client_run "$1" "$2" read env VEMOR_PATCH_READ_AHEAD="${2#wine_preview_}" wine "$windows_exe" preview {w} ;;
    esac
}

apply_run() {  # apply_run CLIENT NAME
    case $2 in
        floor_apply) client_run "$1" "$2" apply "$out/floor" apply {} ;;
        floor_apply_overlapped) client_run "$1" "$2" apply "$out/floor" apply {} "$readers" ;;
        apply_on | apply_off) client_run "$1" "$2" apply env VEMOR_PATCH_READ_AHEAD="${2#apply_}" "$vemor" apply {} ;;
        apply_auto) client_run "$1" "$2" apply env -u VEMOR_PATCH_READ_AHEAD "$vemor" apply {} ;;
        wine_apply_*) client_run "$1" "$2" apply env VEMOR_PATCH_READ_AHEAD="${2#wine_apply_}" wine "$windows_exe" apply {w} ;;
    esac
}

# ---- the tables ----

# Targets: with the client that overlaps, read-ahead on and as the program decides, to the
# sequential floor; with the clients that cannot, the program as it decides (_auto) to the same
# build with the read-ahead off. Read-ahead forced on there is measured, not judged.
target_of() {  # target_of CLIENT NAME SECONDS FLOOR OFF
    case $1:$2 in
        rclone:*_on | rclone:*_auto) echo "≤ 0.25× floor: $(at_most "$(ratio "$3" "$4")" 0.25)" ;;
        rclone:* | *_on) ;;
        *_auto) [ -z "$5" ] || echo "≤ 1.05× off: $(at_most "$(ratio "$3" "$5")" 1.05)" ;;
    esac
}

smb_row() {  # smb_row CLIENT NAME FLOOR
    local dir=$work/runs/$1 t f off="" to_off=""
    if [ -f "$dir/$2.timeout" ]; then
        printf "| %-8s | %-22s | %8s | %8s | %8s | %-20s |\n" "$1" "$2" "> $run_limit" "" "" "did not end: $(wc -l <"$dir/$2.timeout") run(s)"
    fi
    [ -f "$dir/$2" ] || return 0
    t=$(seconds "$dir/$2")
    f=0
    [ ! -f "$dir/$3" ] || f=$(seconds "$dir/$3")
    local base=${2%_on}
    base=${base%_auto}
    if [ "$base" != "$2" ] && [ -f "$dir/${base}_off" ]; then
        off=$(seconds "$dir/${base}_off")
        to_off=$(ratio "$t" "$off")
    fi
    printf "| %-8s | %-22s | %8.2f | %8s | %8s | %-20s |\n" "$1" "$2" "$t" "$(ratio "$t" "$f")" "$to_off" \
        "$(target_of "$1" "$2" "$t" "$f" "$off")"
}

# same_files FILE...: yes when all are byte for byte the same; a comparison with fewer than
# two files is no check. A run left out (SMB_RUNS) or stopped at the limit leaves no file, and
# its pattern unexpanded.
same_files() {
    local files=() file
    for file in "$@"; do [ ! -f "$file" ] || files+=("$file"); done
    [ "${#files[@]}" -ge 2 ] || { echo "-"; return; }
    for file in "${files[@]:1}"; do cmp -s "${files[0]}" "$file" || { echo NO; return; }; done
    echo yes
}

smb_checks() {  # smb_checks CLIENT
    local d=$work/runs/$1
    printf "| %-8s | %-52s | %4s |\n" "$1" "preview output, every run, read-ahead on = off = auto" "$(same_files "$d"/preview_on.out.* "$d"/preview_off.out.* "$d"/preview_auto.out.*)"
    printf "| %-8s | %-52s | %4s |\n" "$1" "preview output = on the local disk" "$(same_files "$work/local-preview.out" "$d"/preview_*.out.*)"
    printf "| %-8s | %-52s | %4s |\n" "$1" "Windows preview output, every run, on = off" "$(same_files "$d"/wine_preview_on.out.* "$d"/wine_preview_off.out.*)"
    printf "| %-8s | %-52s | %4s |\n" "$1" "apply output, every run, on = off = auto" "$(same_files "$d"/apply_on.out.* "$d"/apply_off.out.* "$d"/apply_auto.out.*)"
    printf "| %-8s | %-52s | %4s |\n" "$1" "Windows apply output, every run, on = off" "$(same_files "$d"/wine_apply_on.out.* "$d"/wine_apply_off.out.*)"
    # A listing that failed on the share would make a floor look cheap and its tree differ.
    printf "| %-8s | %-52s | %4s |\n" "$1" "every floor run read all $(session_count "$tree") sessions" \
        "$(cat "$d"/floor_*.out.* 2>/dev/null | awk -v n="$(session_count "$tree")" '$1 != n { bad = 1 } END { print !NR ? "-" : bad ? "NO" : "yes" }')"
    printf "| %-8s | %-52s | %4s |\n" "$1" "patched tree, every apply, floors too, = local apply" \
        "$(same_files "$work/local-apply.manifest" "$d"/*.manifest.*)"
}

smb_table() {
    local client sessions
    sessions=$(session_count "$tree")
    heading "Real SMB share (Samba $(smbd --version | cut -d' ' -f2)), round trip $delay_ms ms added (measured: $(cut -d' ' -f1 "$work/round-trip") ms): $sessions sessions, median of $rounds rounds"
    echo "| client   | run                    | seconds  | to floor | to off   | target               |"
    echo "|----------|------------------------|----------|----------|----------|----------------------|"
    for client in ${SMB_CLIENTS:-smbnetfs rclone rclone16}; do
        for name in floor_read floor_read_overlapped preview_off preview_on preview_auto peer wine_preview_off wine_preview_on; do
            smb_row "$client" "$name" floor_read
        done
        for name in floor_apply floor_apply_overlapped apply_off apply_on apply_auto wine_apply_off wine_apply_on; do
            smb_row "$client" "$name" floor_apply
        done
    done
    echo
    echo "Each run on a fresh mount of its client; applies on fresh copies in the share. to floor: to the sequential floor's read or apply on the same client; to off: to the same build with VEMOR_PATCH_READ_AHEAD=off; _on and _off: VEMOR_PATCH_READ_AHEAD set so; _auto: not set, the program decides by the mount. wine_: the Windows build under Wine on the same mount. Connections to the server at once, most (relay's count): $(for c in ${SMB_CLIENTS:-smbnetfs rclone rclone16}; do echo "$c $(sed 's/most_open=\([0-9]*\).*waited=\([0-9]*\).*/\1 (held back: \2)/' "$work/runs/$c.relay")"; done | paste -sd, | sed 's/,/, /g')."
    echo
    echo "| client   | check                                                | same |"
    echo "|----------|------------------------------------------------------|------|"
    for client in ${SMB_CLIENTS:-smbnetfs rclone rclone16}; do smb_checks "$client"; done
}

# ---- main ----

rm -rf "$work" && mkdir -p "$work/runs" "$share"
start_network
add_user
start_samba
# Wine's server does file calls of its own, so it must run in this mount namespace: a Wine
# server outside would not see the mounts. Its socket folder is private here.
mkdir -p "/tmp/.wine-$(id -u)"
mount -t tmpfs -o mode=0700 tmpfs "/tmp/.wine-$(id -u)"
start_wine
say "Copying the tree to the share; its preview and apply on the local disk, to compare"
"$vemor" preview "$tree" >"$work/local-preview.out"
fresh_copy "$tree" "$work/local-apply"
"$vemor" apply "$work/local-apply" >/dev/null
manifest "$work/local-apply" >"$work/local-apply.manifest"
rm -rf "$work/local-apply"
fresh_copy "$tree" "$share/read"
/usr/bin/python3 bench/smb_relay.py --measure "$(awk -v d="$delay_ms" 'BEGIN { print d / 2 }')" >"$work/round-trip"
for client in ${SMB_CLIENTS:-smbnetfs rclone rclone16}; do
    case $client in
        rclone16) start_relay "$work/runs/$client.relay" 16 ;;
        *) start_relay "$work/runs/$client.relay" ;;
    esac
    client_section "$client"
    stop_relay
done
rm -rf "$share/apply"
smb_table
