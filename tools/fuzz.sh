#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for
# SECONDS (default 30) on a copy of its seed corpus. Fails when a target
# crashes or hangs (its input is kept in build-fuzz/fuzz-artifacts/) and
# prints the executions each target reached.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
build="$root/build-fuzz"

"$root/tools/install_packages.sh" debian-packages.txt debian-packages-fuzz.txt

launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTELVAR_FUZZ=ON "${launcher[@]}" > /dev/null

# Target, longest input, leak checks. The windows' targets run without the
# leak check: Qt's caches grow with new texts, so nearly every input would
# be checked, at a hundredth of the speed.
targets=(
  "fuzz_frame_log 264 1"
  "fuzz_reply_path 264 0"
  "fuzz_comports 1024 0"
)
names=()
for entry in "${targets[@]}"; do names+=("${entry%% *}"); done
cmake --build "$build" --target "${names[@]}" -j"$(nproc)"

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=0
for entry in "${targets[@]}"; do
  read -r name maxLen leaks <<< "$entry"
  work="$(mktemp -d)"
  cp -r "$root/tests/fuzz/corpus/$name" "$work/corpus"
  if (cd "$work" && QT_QPA_PLATFORM=offscreen "$build/tests/fuzz/$name" -max_total_time="$seconds" \
        -max_len="$maxLen" -detect_leaks="$leaks" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$name-" corpus) > "$work/log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed=1
    tail -n 40 "$work/log"
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")"
  printf '%-16s %-7s %s executions in %s s\n' "$name" "$status" "${runs:-?}" "$seconds"
  rm -rf "$work"
done
exit "$failed"
