#!/usr/bin/env bash
# Builds every fuzz target as a libFuzzer binary (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, the whole code instrumented for coverage) and
# runs each for a while.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS: how long each target runs (default 60). TARGET: names such as
# tga_fuzz; default every fuzz/*_fuzz.cpp. The build goes to build-fuzz/ (or
# $FUZZ_BUILD_DIR); each target keeps its corpus in <build>/corpus/<target>/
# and writes crashing inputs to <build>/crashes/<target>/. Exits non-zero when
# a target found a crash.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${1:-60}
if [ $# -gt 0 ]; then shift; fi
case "$SECONDS_EACH" in ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2; exit 2 ;; esac
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}

pick_clang() {
  for c in clang++-14 clang++; do
    if command -v "$c" >/dev/null 2>&1; then echo "$c"; return; fi
  done
}
CXX=$(pick_clang || true)
if [ -z "$CXX" ] || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "installing clang and its fuzzer runtime" >&2
  apt-get install -y clang-14 libclang-rt-14-dev >/dev/null
  CXX=clang++-14
fi

if [ $# -gt 0 ]; then
  TARGETS=("$@")
else
  TARGETS=()
  for f in fuzz/*_fuzz.cpp; do TARGETS+=("$(basename "$f" .cpp)"); done
fi

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$CXX" \
  -DPVSM_FUZZ=ON -DPVSM_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" >/dev/null
cmake --build "$BUILD_DIR" --target "${TARGETS[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for t in "${TARGETS[@]}"; do
  corpus="$BUILD_DIR/corpus/$t"
  crashes="$BUILD_DIR/crashes/$t"
  mkdir -p "$corpus" "$crashes"
  echo "== $t for ${SECONDS_EACH}s" >&2
  # Targets that offer generated seeds write them into the corpus first.
  if ! PVSM_FUZZ_SEED_DIR="$corpus" "$BUILD_DIR/fuzz/$t" "$corpus" \
      -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -artifact_prefix="$crashes/" -print_final_stats=1 2> "$BUILD_DIR/$t.log"; then
    failed+=("$t")
    tail -40 "$BUILD_DIR/$t.log" >&2
  else
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)|cov: " "$BUILD_DIR/$t.log" | tail -3 >&2 || true
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "crashes in: ${failed[*]} (inputs under $BUILD_DIR/crashes/)" >&2
  exit 1
fi
echo "no crash in: ${TARGETS[*]}" >&2
