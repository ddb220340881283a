#!/usr/bin/env bash
# Stands in for valgrind: fake-valgrind.sh MODE [VALGRIND OPTIONS] PROGRAM ARGS…, where MODE
# sigill dies as valgrind 3.19 does on a CPU that hides rdtscp (by SIGILL, in a library's
# start-up, before the program's main said a word), error runs the program and reports a memory
# error, late-sigill runs the program and then dies by SIGILL (a crash, not a valgrind that
# cannot run).
mode=$1
shift
while [[ $1 == -* ]]; do shift; done
ulimit -c 0
[[ $mode == sigill ]] || "$@"
[[ $mode == error ]] && exit 99
kill -ILL $$
