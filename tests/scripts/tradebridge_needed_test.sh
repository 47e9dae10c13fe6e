#!/usr/bin/env bash
# The trading plug-in stands beside the terminal on the platform layer only:
# its shared library must not need the class library (forms and controls),
# which the broker's side has no use for and the terminal loads on its own.
#   tradebridge_needed_test.sh <path of libTradebridge.so>
set -euo pipefail
lib=$1
needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
if [ -z "$needed" ]; then
  echo "no NEEDED entries read from $lib" >&2
  exit 1
fi
if grep -qx 'libclasslib.so' <<<"$needed"; then
  echo "$lib needs libclasslib.so; the plug-in links the platform layer only:" >&2
  echo "$needed" >&2
  exit 1
fi
