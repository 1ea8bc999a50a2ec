#!/usr/bin/env bash
# scripts/run-fuzzers runs the fuzz targets side by side: a target that fails
# while others run beside it must still fail the run and have its input
# shown, and a run of good targets must pass. The targets here are stand-ins
# that answer as libFuzzer does, so this needs no fuzz build.
#   run-fuzzers-test.sh SCRIPT
set -uo pipefail
script=${1:?usage: run-fuzzers-test.sh SCRIPT}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build/fuzz"
good='#!/bin/sh
sleep 1; echo "#2 INITED cov: 1"; echo "#9 DONE cov: 1"'
# Writes its input where -artifact_prefix says, as libFuzzer does on a crash.
bad='#!/bin/sh
for option; do case $option in -artifact_prefix=*) prefix=${option#-artifact_prefix=} ;; esac; done
printf "\001\002" > "${prefix}crash-stand-in"; echo "==1==ERROR: AddressSanitizer"; exit 77'
for name in fuzz_arguments fuzz_verify fuzz_zeta; do printf '%s\n' "$good" > "$work/build/fuzz/$name"; done
printf '%s\n' "$bad" > "$work/build/fuzz/fuzz_decoder"
chmod +x "$work/build/fuzz/"*

failed=0
"$script" "$work/build" 1 > "$work/out.txt" 2>&1
status=$?
if [ "$status" -eq 0 ] || ! grep -q 'fuzz_decoder failed' "$work/out.txt" || ! grep -q 'crash-stand-in' "$work/out.txt"; then
  echo "FAIL: a crashing target beside three good ones gave status $status:"; cat "$work/out.txt"; failed=1
fi
rm "$work/build/fuzz/fuzz_decoder"
rm -rf "$work/build/fuzz-artifacts"
"$script" "$work/build" 1 > "$work/out.txt" 2>&1
status=$?
if [ "$status" -ne 0 ] || [ "$(grep -c 'DONE' "$work/out.txt")" -ne 3 ]; then
  echo "FAIL: three good targets gave status $status:"; cat "$work/out.txt"; failed=1
fi
rm "$work/build/fuzz/"*
"$script" "$work/build" 1 > "$work/out.txt" 2>&1 && { echo "FAIL: a build without fuzz targets passed"; failed=1; }
[ "$failed" -eq 0 ] && echo "run-fuzzers: 3 passed, 0 failed"
exit "$failed"
