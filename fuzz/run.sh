#!/usr/bin/env bash
# Builds the fuzz targets natively with libFuzzer and the address and
# undefined-behaviour sanitizers, and runs each for a bounded time.
#
#   fuzz/run.sh [SECONDS]    (default 60 per target; `make fuzz`)
#
# Each target starts from its kept corpus in fuzz/corpus/<target> and writes
# what it finds to build/fuzz/corpus/<target>. An input that breaks a target
# lands in build/fuzz/artifacts; once the fault is mended, copy it into
# fuzz/corpus/<target>, where fuzz_regression_test runs it in `make test`.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out=$top/build/fuzz

# clang with its libFuzzer and sanitizer runtimes (Debian 12: clang 14).
"$top/tools/install_packages.sh" fuzz clang libclang-rt-14-dev

# Every target links the three pure units and the checks. Their headers
# include <windows.h> for a few types and the lead-byte test of the file-type
# list; fuzz/shim stands in for it.
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -Wall -Wextra -I"$top" -I"$top/fuzz/shim")
units=("$top/app/window_data.cpp" "$top/export/content_length.cpp" "$top/export/filter_list.cpp"
       "$top/fuzz/parser_checks.cpp")

mkdir -p "$out/artifacts"
failed=()
for target in window_data content_length filter_list; do
  echo "fuzz: building $target"
  clang++ "${flags[@]}" -o "$out/${target}_fuzz" "$top/fuzz/${target}_fuzz.cpp" "${units[@]}"
  mkdir -p "$out/corpus/$target"
  echo "fuzz: running $target for ${seconds}s"
  if ! "$out/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$out/artifacts/$target-" -print_final_stats=1 \
      "$out/corpus/$target" "$top/fuzz/corpus/$target" 2>"$out/$target.log"; then
    failed+=("$target")
    tail -n 30 "$out/$target.log" >&2
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$out/$target.log" | sed "s/^/fuzz: $target /" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FAILED: ${failed[*]} (inputs in $out/artifacts)" >&2
  exit 1
fi
echo "fuzz: no target failed"
