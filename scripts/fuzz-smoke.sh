#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a short time (seconds: $1).
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-20}
CXX=clang++-14 scripts/build.sh build-fuzz -DKIVRA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
shopt -s nullglob
ran=0
for f in build-fuzz/bin/fuzz_*; do
    name=$(basename "$f")
    corpus=build-fuzz/corpus/$name
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
    dict=()
    [ -f "fuzz/dicts/$name.dict" ] && dict=(-dict="fuzz/dicts/$name.dict")
    echo "fuzz: $name for ${secs}s"
    "$f" -max_total_time="$secs" -rss_limit_mb=2048 -print_final_stats=0 "${dict[@]}" "$corpus" "${seeds[@]}" 2>build-fuzz/$name.log \
        || { tail -n 60 build-fuzz/$name.log; exit 1; }
    ran=$((ran + 1))
done
echo "fuzz: $ran targets ran clean"
