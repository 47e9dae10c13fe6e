#!/usr/bin/env bash
# The layer check on small source trees: each case writes one include into
# one folder and expects the check to pass or fail.
set -uo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check_layers.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/kivo-layers-XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

failures=0
# folder | file | include line | expected exit status
while IFS='|' read -r folder file line expected; do
  tree="$work/tree"
  rm -rf "$tree"
  mkdir -p "$tree/$folder"
  printf '%s\n' "$line" >"$tree/$folder/$file"
  bash "$check" "$tree" 2>/dev/null
  got=$?
  if [ "$got" != "$expected" ]; then
    echo "FAIL: $folder/$file with '$line': exit $got, expected $expected"
    failures=$((failures + 1))
  fi
done <<'CASES'
market|a.cpp|#include "core/earray.h"|0
market|a.h|#include "market/records.h"|0
formula|a.h|#include "market/records.h"|0
shell|a.cpp|#include "charts/techfm.h"|0
market|a.h|#include "formula/indexmarket.h"|1
core|a.cpp|  #  include <market/dataio5.h>|1
views|a.cpp|#include "../charts/dview.h"|1
platform|a.cpp|#include "core/emem.h"|1
platform|a.cpp|#include "classlib/forms.h"|1
classlib|a.cpp|#include "platform/gdi.h"|0
classlib|a.cpp|#include "core/emem.h"|1
core|a.cpp|#include "classlib/forms.h"|0
classlib|a.cpp|#include "platform/internal/window_record.h"|1
platform|a.cpp|#include "platform/internal/window_record.h"|0
plugin|a.cpp|#include "classlib/forms.h"|1
plugin|a.cpp|#include "core/ebufferpool.h"|0
plugin|a.cpp|#include "market/records.h"|1
standins|a.cpp|#include "platform/kernel.h"|0
standins|a.cpp|#include "core/emem.h"|1
tests|a.cpp|#include "shell/settings_store.h"|0
trading|a.h|#include "plugin/tradeapi.h"|0
shell|a.cpp|#include "plugin/tradeapi.h"|0
trading|a.cpp|#include "plugin/records.h"|1
shell|a.cpp|#include "plugin/tradebridge.h"|1
views|a.cpp|#include "plugin/tradeapi.h"|1
market|a.cpp|#include <QtCore/QString>|0
market|a.cpp|// #include "views/x.h"|0
CASES
exit $((failures > 0))
