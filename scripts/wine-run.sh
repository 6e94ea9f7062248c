#!/bin/sh
# How ctest starts a Windows test program. A Windows program that faults ends under Wine with
# its exception's code; only Wine itself dies of a Linux SIGSEGV, as the 32-bit Wine now and
# then does on a loaded machine. Such a run says so and is made once more, once.
wine "$@"
status=$?
if [ "$status" -eq 139 ]; then
    echo "wine-run: Wine itself was killed by SIGSEGV; running once more" >&2
    wine "$@"
    status=$?
fi
exit "$status"
