#!/usr/bin/env bash
# Builds the whole tree with sanitizers in a folder of its own and runs the
# whole test suite; fails on a failed test and on any sanitizer report, also
# one from a child process (the simulator) that did not fail its test.
#   tools/sanitize.sh address,undefined
#   tools/sanitize.sh thread
set -euo pipefail
mode="${1:-}"
case "$mode" in
  address,undefined|thread) ;;
  *) echo "usage: $0 address,undefined|thread" >&2; exit 2 ;;
esac
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-sanitize-${mode//,/-}"
reports="$build/sanitizer-reports"

"$root/tools/install_packages.sh"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELVAR_SANITIZE="$mode" "${launcher[@]}"
cmake --build "$build" -j"$(nproc)"

rm -rf "$reports"
mkdir -p "$reports"
# Every report goes to a file of its own (log_path), so that none is lost in
# the output of a passing test or of a child process.
common="log_path=$reports/report:print_stacktrace=1"
export UBSAN_OPTIONS="$common:halt_on_error=1"
case "$mode" in
  address,undefined)
    export ASAN_OPTIONS="$common:halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
    export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
    ;;
  thread)
    # die_after_fork=0: the tests start the simulator and other tools with
    # QProcess, which forks a process that already runs threads.
    # ignore_noninstrumented_modules=1: what Qt does with memory and locks in
    # its own libraries (built without the sanitizer) is not looked at.
    export TSAN_OPTIONS="$common:halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:ignore_noninstrumented_modules=1:suppressions=$root/tools/tsan.supp"
    ;;
esac

status=0
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300 || status=$?

if compgen -G "$reports/report*" >/dev/null; then
  echo "sanitizer reports:" >&2
  for f in "$reports"/report*; do
    echo "== $f" >&2
    cat "$f" >&2
  done
  status=1
fi
# Undefined behaviour found next to AddressSanitizer is written to the
# program's own output, not to log_path: look for it in every test's output.
pattern='runtime error:|ERROR: (Address|Leak|Thread)Sanitizer|WARNING: ThreadSanitizer|SUMMARY: [A-Za-z]*Sanitizer'
if grep -nE "$pattern" "$build/Testing/Temporary/LastTest.log" >&2; then
  echo "sanitizer reports in the tests' output (above)" >&2
  status=1
fi
exit "$status"
