#!/usr/bin/env bash
# Stands in for valgrind where it runs, to try how small-videos.sh takes each way a run ends.
# Usage: fake-valgrind.sh MODE [VALGRIND OPTIONS] PROGRAM ARGS…
#   sigill       dies as valgrind 3.19 does on a CPU that hides rdtscp: by SIGILL, in a
#                library's start-up, before the program's main has said anything
#   error        runs the program, then reports a memory error as memcheck does
#   late-sigill  runs the program, then dies by SIGILL: a crash, not a valgrind that cannot run
set -uo pipefail
mode=$1
shift
while [[ $1 == -* ]]; do
    shift
done
ulimit -c 0
case $mode in
sigill) kill -ILL $$ ;;
error)
    "$@"
    echo "==1== Invalid write of size 4" >&2
    exit 99
    ;;
late-sigill)
    "$@"
    kill -ILL $$
    ;;
esac
