#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time: the conversion
# library's readers and writer, then the readers of registry files, shortcuts and version
# resources. Fails on any crash, sanitizer finding, timeout or failed check.
# Usage: scripts/fuzz.sh [seconds per library target, default 60] [seconds per other, default 35]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
other_seconds=${2:-35}

scripts/deps.sh clang libclang-rt-14-dev
cmake --preset clang-fuzz >/dev/null
platform_fuzzers=(RegFile ShellLink VersionInfo)
cmake --build --preset clang-fuzz --target convlib_fuzz_readers convlib_fuzz_writers \
    platform_fuzz_seeds "${platform_fuzzers[@]/#/platform_fuzz_}"

bin=build/clang-fuzz/bin
out=build/clang-fuzz/fuzz
rm -rf "$out"
mkdir -p "$out/readers" "$out/writers" "$out/artifacts"
# The platform targets' seeds come from the tests' fixtures.
"$bin/platform_fuzz_seeds" "$out/seeds"
# New inputs go to a corpus folder of their own; the malformed-files folder is only read.
common=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$out/artifacts/")
echo "Fuzzing the readers for ${seconds} s"
"$bin/convlib_fuzz_readers" "${common[@]}" "$out/readers" tests/convlib/data/malformed
echo "Fuzzing the writer for ${seconds} s"
# The writer's texture is flushed to disk on every run: keep its scratch files in memory.
scratch=$out; [ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
# Long inputs from the start, so that the texels vary (a short input repeats over the image).
TMPDIR=$scratch "$bin/convlib_fuzz_writers" "${common[@]}" -max_len=4096 -len_control=0 "$out/writers"
# The fixture files are small: inputs a few times their size reach every structure.
for target in "${platform_fuzzers[@]}"; do
    name=$(echo "$target" | tr '[:upper:]' '[:lower:]')
    echo "Fuzzing the $target reader for ${other_seconds} s"
    mkdir -p "$out/$name"
    "$bin/platform_fuzz_$target" "${common[@]/#-max_total_time=*/-max_total_time=$other_seconds}" \
        -max_len=4096 "$out/$name" "$out/seeds/$name"
done
