#!/usr/bin/env bash
# Writes the generated seeds of fuzz/corpus (fuzz/MakeCorpus.cpp) afresh.
# Files the generator does not make, such as inputs a fuzz run found and that
# were fixed, are kept: copy them into their target's folder by hand.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/corpus}
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF \
  -DVT_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target vt_make_fuzz_corpus
"$build/fuzz/vt_make_fuzz_corpus" fuzz/corpus
du -sh fuzz/corpus
