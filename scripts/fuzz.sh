#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/, writes their seed corpora with
# the fixture builders, replays the kept regression inputs (fuzz/regressions/<target>/),
# then runs each target for FUZZ_SECONDS seconds (default 40) under AddressSanitizer and
# UndefinedBehaviorSanitizer. Any crash, timeout (1 s per input), leak or memory limit
# (64 MiB per input) fails the step. Prints, per target, the executions and the coverage reached.
# FUZZ_TARGETS picks targets (default: all); a corpus kept in build-fuzz/corpus/ grows
# from one run to the next.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-40}
targets=(${FUZZ_TARGETS:-load iptc size text roundtrip})

packages=(clang libclang-rt-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

./scripts/setup.sh build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DPIXMETA_FUZZ=ON -DPIXMETA_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo

rm -rf build-fuzz/seeds build-fuzz/artifacts build-fuzz/logs
mkdir -p build-fuzz/artifacts build-fuzz/logs
build-fuzz/make-fuzz-seeds build-fuzz/seeds

# An input may take at most 64 MiB at once (-malloc_limit_mb). The whole process gets more
# (-rss_limit_mb): the sanitizers' shadow memory and libFuzzer's own tables already take
# some 40 to 70 MiB before any input does. A small quarantine keeps freed memory from
# piling up.
export ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=16:malloc_context_size=20
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
limits=(-malloc_limit_mb=64 -rss_limit_mb=192 -timeout=1 -detect_leaks=1)

max_len_of() {
  case $1 in
    load | iptc | roundtrip) echo 70000 ;;
    *) echo 4096 ;;
  esac
}

failed=()
summary=()
for t in "${targets[@]}"; do
  fuzzer=build-fuzz/${t}_fuzzer
  log=build-fuzz/logs/$t.log
  corpus=build-fuzz/corpus/$t
  mkdir -p "$corpus"
  regressions=()
  if [ -d "fuzz/regressions/$t" ] && [ -n "$(ls -A "fuzz/regressions/$t")" ]; then
    regressions=(fuzz/regressions/"$t"/*)
  fi
  if [ ${#regressions[@]} -gt 0 ] &&
    ! "$fuzzer" "${limits[@]}" "${regressions[@]}" >"build-fuzz/logs/$t-regressions.log" 2>&1; then
    echo "FAILED: $t on a kept regression input (build-fuzz/logs/$t-regressions.log)"
    tail -n 40 "build-fuzz/logs/$t-regressions.log"
    failed+=("$t")
    continue
  fi
  echo "Fuzzing $t for ${seconds}s"
  if "$fuzzer" "${limits[@]}" -max_total_time="$seconds" -max_len="$(max_len_of "$t")" \
    -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$t-" \
    "$corpus" "build-fuzz/seeds/$t" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    failed+=("$t")
    tail -n 60 "$log"
  fi
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || true)
  stats=$(grep -E '^#[0-9]+' "$log" | grep -o 'cov: [0-9]* ft: [0-9]*' | tail -n 1 || true)
  summary+=("$(printf '%-10s %-7s executions: %-9s %s' "$t" "$result" "${execs:-?}" "${stats:-}")")
done

echo "Fuzzing summary (${seconds}s per target):"
printf '  %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzz findings in: ${failed[*]} (inputs in build-fuzz/artifacts/, logs in build-fuzz/logs/)"
  exit 1
fi
