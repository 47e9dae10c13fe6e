#!/usr/bin/env bash
# The kivon program as a process: laid out with the data set, it passes the
# entry's checks, creates its main window and waits in the login dialog
# (still running after a few seconds) instead of ending or crashing.
#   kivon_start_test.sh <folder of kivon, its shared libraries and quote_double>
set -euo pipefail
bin=$1
root=$(mktemp -d "${TMPDIR:-/tmp}/kivo-start-XXXXXX")
trap 'rm -rf "$root"' EXIT
"$bin/quote_double" --offline-terminal "$root"
cp "$bin/kivon" "$bin/libplatform.so" "$bin/libclasslib.so" "$root/bin/"
set +e
# Its runtime folder (outside-message endpoints) is its own: test binaries
# that run beside it number their windows alike.
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$root" timeout 5 "$root/bin/kivon" >"$root/out.txt" 2>&1
status=$?
set -e
if [ "$status" -ne 124 ]; then
  echo "kivon ended with status $status before the login:" >&2
  cat "$root/out.txt" >&2
  exit 1
fi
[ ! -e "$root/bin/___wt___.dat" ] || { echo "the write probe was left behind" >&2; exit 1; }
echo "kivon is waiting in the login dialog"
