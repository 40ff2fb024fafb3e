#!/usr/bin/env bash
# Measures pixmeta on a corpus of full-size camera photos: throughput against the usual
# peers, peak memory at 1,000 and 20,000 files, and instructions/allocations per file.
# The report (Markdown) goes to stdout, progress to stderr.
set -euo pipefail
shopt -s inherit_errexit

usage() {
  cat <<'EOF'
Usage: bench/run.sh [--help]

Builds pixmeta (Release, build-bench/), makes or reuses the photo corpus, and prints
throughput, peak memory and per-file cost tables in Markdown.

Environment:
  RUNS=5             timed runs per command; the median is reported
  BENCH_DIR=dir      corpus folder (default ${TMPDIR:-/tmp}/pixmeta-bench), holding
                     1k/ (1,000 copies) and 20k/ (20,000 hard links to them)
  PIXMETA_BIN=path   use this pixmeta instead of building build-bench/
  MAKE_CORPUS=path   corpus maker (default build-bench/make-bench-corpus)
  SKIP_20K=1         no 20k/ corpus and no 20,000-file memory figures
  EXIFTOOL_FILES=200 exiftool is slow: it is timed over this many files...
  EXIFTOOL_RUNS=3    ...and this many runs
  WRITE_RUNS=3       rewriting runs (each on fresh copies of the 1,000 files)
EOF
}
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then usage; exit 0; fi
if [ $# -gt 0 ]; then usage >&2; exit 2; fi

root=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${RUNS:-5}
BENCH_DIR=${BENCH_DIR:-${TMPDIR:-/tmp}/pixmeta-bench}
SKIP_20K=${SKIP_20K:-0}
EXIFTOOL_FILES=${EXIFTOOL_FILES:-200}
EXIFTOOL_RUNS=${EXIFTOOL_RUNS:-3}
WRITE_RUNS=${WRITE_RUNS:-3}
N1K=1000 L1K=1,000
N20K=20000 L20K=20,000

log() { echo "bench: $*" >&2; }
die() { log "error: $*"; exit 1; }
have() { command -v "$1" >/dev/null 2>&1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- Build -------------------------------------------------------------------------------
if [ -z "${PIXMETA_BIN:-}" ]; then
  log "building Release into build-bench/"
  "$root/scripts/setup.sh" build-bench -DCMAKE_BUILD_TYPE=Release >&2
  PIXMETA_BIN=$root/build-bench/pixmeta
fi
MAKE_CORPUS=${MAKE_CORPUS:-$root/build-bench/make-bench-corpus}
[ -x "$PIXMETA_BIN" ] || die "no pixmeta at $PIXMETA_BIN"
PIXMETA=$(realpath "$PIXMETA_BIN")

# --- Corpus ------------------------------------------------------------------------------
count_jpgs() { find "$1/" -maxdepth 1 -name 'img*.jpg' 2>/dev/null | wc -l; }
c1k=$BENCH_DIR/1k
c20k=$BENCH_DIR/20k
need20k=1
if [ "$SKIP_20K" = 1 ]; then need20k=0; fi
[ -x "$MAKE_CORPUS" ] || die "no corpus maker at $MAKE_CORPUS"
photo_bytes=$("$MAKE_CORPUS" --size)
slr_bytes=$("$MAKE_CORPUS" --slr --size)
# A corpus is current when it has its files and they hold today's photo.
current() { [ "$(count_jpgs "$1")" -eq "$2" ] && [ "$(stat -c %s "$1/img00000.jpg")" = "$3" ]; }
if current "$c1k" $N1K "$photo_bytes" &&
   { [ "$need20k" = 0 ] || [ "$(count_jpgs "$c20k")" -eq $N20K ]; }; then
  log "reusing the corpus in $BENCH_DIR"
  corpus_note="reused"
else
  log "making the corpus in $BENCH_DIR (1,000 copies take ~11 s and 3.3 GB)"
  mkdir -p "$c1k"
  find "$c1k/" -maxdepth 1 -name 'img*.jpg' -delete
  if [ "$need20k" = 1 ]; then
    mkdir -p "$c20k"
    find "$c20k/" -maxdepth 1 -name 'img*.jpg' -delete
    "$MAKE_CORPUS" "$c1k" $N1K "$c20k" $N20K >&2
  else
    "$MAKE_CORPUS" "$c1k" $N1K >&2
  fi
  corpus_note="made by this run"
fi
bytes=$(stat -c %s "$c1k/img00000.jpg")
# 101 copies of the heavier SLR photo, for its cost per file.
slr=$BENCH_DIR/slr
if ! current "$slr" 101 "$slr_bytes"; then
  log "making 101 copies of the SLR photo in $slr"
  mkdir -p "$slr"
  find "$slr/" -maxdepth 1 -name 'img*.jpg' -delete
  "$MAKE_CORPUS" --slr "$slr" 101 >&2
fi

cd "$c1k"
files=(img*.jpg)
[ ${#files[@]} -eq $N1K ] || die "expected $N1K photos in $c1k"

# --- Header ------------------------------------------------------------------------------
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//' || true)
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
dirty=""
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null || true)" ]; then dirty=", dirty tree"; fi
version=$("$PIXMETA" </dev/null 2>&1 | grep -om1 'v[0-9][0-9.]*' || true)
echo "# pixmeta benchmark"
echo
echo "- Machine: ${cpu:-unknown CPU}, $(nproc) cores, kernel $(uname -r)"
echo "- Date: $(date '+%Y-%m-%d %H:%M %Z')"
echo "- pixmeta ${version:-?}, commit $commit$dirty ($PIXMETA)"
links=""
if [ "$need20k" = 1 ]; then links=" + $L20K hard links to them in 20k/"; fi
echo "- Corpus: $BENCH_DIR, 1k/ with $L1K copies of one $bytes-byte 4000x3000 camera JPEG (compact-camera EXIF with a Canon maker note, GPS, thumbnail; IPTC; comment)$links ($corpus_note)"
echo "- RUNS=$RUNS (median of wall-clock times); commands run inside 1k/"
echo

# --- Throughput --------------------------------------------------------------------------
# Sets median_s and fps for "$@" over $nfiles files. Peers may fail on odd files: only
# pixmeta's own exit status counts.
time_cmd() {
  local runs=$1 nfiles=$2 peer=$3; shift 3
  local times=() i t0 t1
  if [ "$peer" = 1 ]; then "$@" >/dev/null 2>&1 || true; else "$@" >/dev/null; fi  # warm-up
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    if [ "$peer" = 1 ]; then "$@" >/dev/null 2>&1 || true; else "$@" >/dev/null; fi
    t1=$(date +%s%N)
    times+=($((t1 - t0)))
  done
  read -r median_s fps < <(printf '%s\n' "${times[@]}" | sort -n | awk -v n="$nfiles" '
    { a[NR] = $1 }
    END { m = (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) / 1e9
          printf "%.4f %.0f\n", m, (m > 0 ? n / m : 0) }')
}

# How many files the -s report covers, so a short run does not pass for a fast one.
listed_note() {
  local n
  "$@" >"$tmp/report"
  n=$(grep -c '<dImageFile>' "$tmp/report" || true)
  if [ "$n" -gt 0 ] && [ "$n" -ne $N1K ]; then echo "report lists only $n of $L1K files"; fi
}

rows=()
ratios=()
row() { rows+=("| \`$1\` | $median_s | $fps | $2 |"); }

log "timing pixmeta -s -q *.jpg"
note=$(listed_note "$PIXMETA" -s -q "${files[@]}")
time_cmd "$RUNS" $N1K 0 "$PIXMETA" -s -q "${files[@]}"
row "pixmeta -s -q *.jpg" "shell-expanded, $L1K arguments${note:+; $note}"
pixmeta_fps=$fps pixmeta_note=$note

log "timing pixmeta -s -q './*.jpg'"
note=$(listed_note "$PIXMETA" -s -q './*.jpg')
time_cmd "$RUNS" $N1K 0 "$PIXMETA" -s -q './*.jpg'
row "pixmeta -s -q './*.jpg'" "quoted: pixmeta expands the folder pattern${note:+; $note}"

log "timing pixmeta -gll -dt -q *.jpg"
time_cmd "$RUNS" $N1K 0 "$PIXMETA" -gll -dt -q "${files[@]}"
row "pixmeta -gll -dt -q *.jpg" "GPS and date lists"

# Times peer $1 (Debian package $2) as "$label" over $n files, $runs runs.
peer() {
  local name=$1 pkg=$2 label=$3 n=$4 runs=$5 note=$6 ver; shift 6
  if ! have "$name"; then
    log "skipping $name (not installed)"
    rows+=("| \`$label\` | - | - | skipped: not installed (Debian package $pkg) |")
    return
  fi
  log "timing $name"
  case $name in
    jhead) ver=$(jhead -V 2>/dev/null || true) ;;
    exiv2) ver=$(exiv2 --version 2>/dev/null | head -1 || true) ;;
    exiftool) ver="exiftool $(exiftool -ver 2>/dev/null || true)" ;;
  esac
  time_cmd "$runs" "$n" 1 "$@"
  row "$label" "${ver}${note:+; $note}"
  ratios+=("- $(awk -v a="$pixmeta_fps" -v b="$fps" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }') x $name")
}
peer jhead jhead "jhead *.jpg" $N1K "$RUNS" "" jhead "${files[@]}"
peer exiv2 exiv2 "exiv2 -pa *.jpg" $N1K "$RUNS" "" exiv2 -pa "${files[@]}"
peer exiftool libimage-exiftool-perl "exiftool *.jpg" "$EXIFTOOL_FILES" "$EXIFTOOL_RUNS" \
  "first $EXIFTOOL_FILES files, $EXIFTOOL_RUNS runs (slow)" exiftool "${files[@]:0:EXIFTOOL_FILES}"

echo "## Throughput ($L1K files)"
echo
echo "| command | median s | files/s | note |"
echo "|---|---:|---:|---|"
printf '%s\n' "${rows[@]}"
echo
if [ ${#ratios[@]} -gt 0 ]; then
  echo "pixmeta -s -q *.jpg files/s over each peer's${pixmeta_note:+ (overstated: $pixmeta_note)}:"
  echo
  printf '%s\n' "${ratios[@]}"
  echo
fi

# --- Rewriting ---------------------------------------------------------------------------
# Each timed run rewrites fresh copies of the corpus (made and flushed to disk beforehand,
# outside the timing). pixmeta's time includes its durable write: every file is flushed
# to disk before it replaces the original. jhead leaves its data in the page cache, so it
# is timed both as it is and with a sync after it.
rewrite_mb_s() {
  local label=$1; shift
  local times=() i t0 t1 w="$BENCH_DIR/rewrite"
  for ((i = 0; i < WRITE_RUNS; i++)); do
    rm -rf "$w"
    cp -r "$c1k" "$w"
    sync
    t0=$(date +%s%N)
    (cd "$w" && "$@" >/dev/null 2>&1) || true
    t1=$(date +%s%N)
    times+=($((t1 - t0)))
  done
  rm -rf "$w"
  sync
  printf '%s\n' "${times[@]}" | sort -n | awk -v mb="$((bytes * N1K))" -v label="$label" '
    { a[NR] = $1 }
    END { m = (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) / 1e9
          printf "%s %.3f %.0f\n", label, m, (m > 0 ? mb / 1048576 / m : 0) }'
}
echo "## Rewriting ($L1K fresh copies, $WRITE_RUNS runs, median)"
echo
echo "| command | median s | MB/s | note |"
echo "|---|---:|---:|---|"
log "timing pixmeta -ad=1 (rewrites)"
read -r _ ws wmb < <(rewrite_mb_s pixmeta "$PIXMETA" -q -ad=1 "${files[@]}")
echo "| \`pixmeta -q -ad=1 *.jpg\` | $ws | $wmb | each file flushed to disk, then renamed over the original |"
if have jhead; then
  log "timing jhead -ta+24:00 (rewrites)"
  read -r _ js jmb < <(rewrite_mb_s jhead jhead -ta+24:00 "${files[@]}")
  echo "| \`jhead -ta+24:00 *.jpg\` | $js | $jmb | written to the page cache only |"
  read -r _ jss jsmb < <(rewrite_mb_s jhead-sync sh -c 'jhead -ta+24:00 "$@"; sync' sh "${files[@]}")
  echo "| \`jhead -ta+24:00 *.jpg; sync\` | $jss | $jsmb | the same, made durable |"
  echo
  echo "pixmeta MB/s over jhead's: $(awk -v a="$wmb" -v b="$jmb" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }') x (page cache), $(awk -v a="$wmb" -v b="$jsmb" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }') x (durable)"
else
  echo "| \`jhead -ta+24:00 *.jpg\` | - | - | skipped: not installed (Debian package jhead) |"
fi
echo

# --- Peak memory -------------------------------------------------------------------------
# Peak RSS in MiB of pixmeta -s -q, run inside folder $1 with the remaining arguments.
# The median of five runs' peak resident memory, in MiB: one run's figure varies by some
# hundred kilobytes with where the kernel and the loader place things.
peak_mib() {
  local dir=$1; shift
  local kib=()
  for _ in 1 2 3 4 5; do
    (cd "$dir" && /usr/bin/time -f %M -o "$tmp/rss" "$PIXMETA" -s -q "$@" >/dev/null)
    kib+=("$(cat "$tmp/rss")")
  done
  printf '%s\n' "${kib[@]}" | sort -n | sed -n 3p | awk '{ printf "%.2f", $1 / 1024 }'
}
echo "## Peak memory of pixmeta -s -q (MiB)"
echo
if [ -x /usr/bin/time ]; then
  # The kernel copies a shell-expanded argument list into the process: its strings and
  # pointers count in the peak but are not pixmeta's memory, so the last column leaves
  # them out of both figures.
  args_mib() { printf '%s\n' "$@" | awk '{ b += length($0) + 1 + 8 } END { printf "%.2f", b / 1048576 }'; }
  echo "| form | $L1K files | $L20K files | 20k/1k | argument list at 1k / 20k | 20k/1k without it |"
  echo "|---|---:|---:|---:|---:|---:|"
  for form in shell quoted; do
    if [ $form = shell ]; then label="\`*.jpg\` (shell-expanded)"; else label="\`'./*.jpg'\` (quoted)"; fi
    log "peak memory, $form form"
    if [ $form = shell ]; then m1=$(peak_mib "$c1k" "${files[@]}"); else m1=$(peak_mib "$c1k" './*.jpg'); fi
    m20=- ratio=- a1=0.00 a20=0.00 own=-
    if [ $form = shell ]; then a1=$(args_mib "${files[@]}"); fi
    if [ "$need20k" = 1 ]; then
      if [ $form = shell ]; then
        m20=$(cd "$c20k" && files20k=(img*.jpg) && peak_mib "$c20k" "${files20k[@]}")
        a20=$(cd "$c20k" && files20k=(img*.jpg) && args_mib "${files20k[@]}")
      else
        m20=$(peak_mib "$c20k" './*.jpg')
      fi
      ratio=$(awk -v a="$m20" -v b="$m1" 'BEGIN { printf "%.2f", a / b }')
      own=$(awk -v a="$m20" -v b="$m1" -v x="$a20" -v y="$a1" 'BEGIN { printf "%.2f", (a - x) / (b - y) }')
    fi
    echo "| $label | $m1 | $m20 | $ratio | $a1 / $a20 | $own |"
  done
  if [ -n "$pixmeta_note" ]; then echo; echo "Shell-expanded figures are low: $pixmeta_note (see above)."; fi
else
  echo "skipped: /usr/bin/time is missing (Debian package time)"
fi
echo

# --- Instructions and allocations per file ----------------------------------------------
echo "## Cost per file of pixmeta -s -q (valgrind, shell-expanded, (101 files - 1 file) / 100)"
echo
if have valgrind; then
  # Prints the number the pattern $1 finds in valgrind's log of "$@" (commas dropped).
  vg_count() {
    local pattern=$1; shift
    valgrind "$@" >/dev/null 2>"$tmp/vg.log"
    grep -m1 "$pattern" "$tmp/vg.log" | sed "s/.*$pattern *//; s/,//g" | awk '{ print $1 }'
  }
  callgrind() { vg_count 'Collected :' --tool=callgrind --callgrind-out-file="$tmp/cg.out" "$PIXMETA" -s -q "$@"; }
  heap() { vg_count 'total heap usage:' --tool=memcheck "$PIXMETA" -s -q "$@"; }
  heap_bytes() { grep -m1 'total heap usage:' "$tmp/vg.log" | sed 's/.* frees, //; s/ bytes.*//; s/,//g'; }
  per_file() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) / 100 }'; }
  log "callgrind over 1 and 101 files"
  i1=$(callgrind "${files[0]}")
  i101=$(callgrind "${files[@]:0:101}")
  log "memcheck over 1 and 101 files"
  a1=$(heap "${files[0]}"); b1=$(heap_bytes)
  a101=$(heap "${files[@]:0:101}"); b101=$(heap_bytes)
  log "callgrind and memcheck over 1 and 101 SLR photos"
  slr_files=("$slr"/img*.jpg)
  si1=$(callgrind "${slr_files[0]}")
  si101=$(callgrind "${slr_files[@]}")
  sa1=$(heap "${slr_files[0]}")
  sa101=$(heap "${slr_files[@]}")
  for v in "$i1" "$i101" "$a1" "$a101" "$si1" "$si101" "$sa1" "$sa101"; do
    [ -n "$v" ] || die "could not read valgrind's totals"
  done
  echo "| measure | 1 file | 101 files | per file |"
  echo "|---|---:|---:|---:|"
  echo "| instructions (callgrind Ir) | $i1 | $i101 | $(per_file "$i1" "$i101") |"
  echo "| heap allocations (memcheck) | $a1 | $a101 | $(per_file "$a1" "$a101") |"
  echo "| heap bytes allocated | $b1 | $b101 | $(per_file "$b1" "$b101") |"
  echo "| instructions, SLR photo ($slr_bytes bytes, 40-tag Canon maker note) | $si1 | $si101 | $(per_file "$si1" "$si101") |"
  echo "| heap allocations, SLR photo | $sa1 | $sa101 | $(per_file "$sa1" "$sa101") |"
  if [ -n "$pixmeta_note" ]; then echo; echo "Per-file figures assume all 101 files are read: $pixmeta_note."; fi
else
  echo "skipped: valgrind is not installed (Debian package valgrind)"
fi
log "done"
