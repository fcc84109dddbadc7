#!/bin/sh
# Builds a libFuzzer binary (by default that of the SQL text rules) with clang, in a build folder of
# its own, and runs it over its committed corpus for a bounded number of inputs.
#   run_fuzzer.sh <tests/fuzz folder> <build folder> [runs] [target] [corpus folder name]
# Exits 77 (skipped) when clang or its fuzzer runtime is not installed
# (Debian packages: clang, libclang-rt-14-dev).
set -eu
source_dir=$(cd "$1" && pwd)
mkdir -p "$2"
build_dir=$(cd "$2" && pwd)
runs=${3:-100000}
target=${4:-fuzz_sqltext}
corpus=${5:-corpus}

if ! command -v clang++ >/dev/null 2>&1; then
    echo "SKIP: clang++ is not installed (Debian packages: clang, libclang-rt-14-dev)"
    exit 77
fi
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$build_dir/probe.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$build_dir/probe.cpp" -o "$build_dir/probe" \
    >"$build_dir/probe.log" 2>&1; then
    cat "$build_dir/probe.log"
    echo "SKIP: clang cannot build libFuzzer programs (Debian package: libclang-rt-14-dev)"
    exit 77
fi

if ! cmake -S "$source_dir" -B "$build_dir/cmake" -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build_dir/configure.log" 2>&1; then
    cat "$build_dir/configure.log"
    exit 1
fi
cmake --build "$build_dir/cmake" --target "$target" -j2

# New inputs go to a scratch folder, never into the committed corpus.
rm -rf "$build_dir/found"
mkdir -p "$build_dir/found"
cd "$build_dir"
# A fault must fail the test: libFuzzer's own exit code for it (77) is the one that means skipped.
exec "$build_dir/cmake/$target" -runs="$runs" -seed=1 -max_len=4096 -print_final_stats=1 -error_exitcode=1 \
    -timeout_exitcode=1 -artifact_prefix="$build_dir/" "$build_dir/found" "$source_dir/$corpus"
