#!/bin/bash
# Installs the module's packages from the lockfile, builds the package Companion installs, and
# runs the module's tests. Given the program and the virtual unit
#   bash integrations/companion/test.sh <tessora> <tessora-unit>
# it also runs the module against them, under its own X server.
set -euo pipefail
cd "$(dirname "$0")"

if [ $# -ge 2 ]; then
    TESSORA_BIN=$(realpath "$1")
    TESSORA_UNIT_BIN=$(realpath "$2")
    export TESSORA_BIN TESSORA_UNIT_BIN
    missing=()
    command -v xvfb-run >/dev/null || missing+=(xvfb xauth)
    command -v xdotool >/dev/null || missing+=(xdotool)
    if [ ${#missing[@]} -gt 0 ]; then
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
fi

# Node.js 20 comes with the build machines; elsewhere Debian's will do (the module's packages
# take Node 18 and later).
if ! command -v npm >/dev/null; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nodejs npm >/dev/null
fi
npm ci --no-audit --no-fund --loglevel=error
npx companion-module-build
ls ./*.tgz >/dev/null

out=$(mktemp)
trap 'rm -f "$out"' EXIT
rc=0
if [ -n "${TESSORA_BIN:-}" ]; then
    xvfb-run -a npm test 2>&1 | tee "$out" || rc=$?
else
    npm test 2>&1 | tee "$out" || rc=$?
fi
count() { sed -n "s/^[#ℹ] $1 //p" "$out" | tail -n 1; }
passed=$(count pass)
failed=$(count fail)
skipped=$(count skipped)
echo "companion: ${passed:-0} passed, ${failed:-0} failed, ${skipped:-0} skipped"
[ "$rc" -eq 0 ] && [ "${failed:-1}" -eq 0 ] && [ -n "$passed" ]
