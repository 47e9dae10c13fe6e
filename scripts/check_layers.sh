#!/usr/bin/env bash
# Fails when a source folder includes a header of a folder above it.
#
# The folders of the terminal stand in layers, lowest first; a folder may
# include its own headers and those of the layers below it, never one above:
#
#   platform < classlib < core < market < formula < views < charts < trading < shell
#
# The trading plug-in stands beside the terminal and may include platform
# and core only; the stand-ins of the outside libraries only platform.
# platform/internal/ is private to platform/: no other folder includes it.
# The plug-in's public interface header is the one header of plugin/ that
# the trading desk and the shell include.
# testing, tests and bench may include anything.
#
# Usage: scripts/check_layers.sh [source root]   (default: the repository)
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

layers=(platform classlib core market formula views charts trading shell)

# The folders each folder may include, its own among them.
declare -A allowed
for ((i = 0; i < ${#layers[@]}; i++)); do
  allowed[${layers[i]}]="${layers[*]:0:i+1}"
done
allowed[plugin]="platform core plugin"
allowed[standins]="platform standins"

known=" ${layers[*]} plugin standins testing tests bench "
plugin_interface="plugin/tradeapi.h"

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  # file:line:text of every include line of the folder's sources
  while IFS= read -r hit; do
    where=${hit%%:*}
    rest=${hit#*:}
    lineno=${rest%%:*}
    line=${rest#*:}
    [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"\<]([^\"\>]+)[\"\>] ]] || continue
    header=${BASH_REMATCH[1]}
    # "../x/y.h" names the folder x as well.
    while [[ $header == ../* ]]; do header=${header#../}; done
    [[ $header == */* ]] || continue
    target=${header%%/*}
    [[ $known == *" $target "* ]] || continue
    if [[ $header == platform/internal/* && $folder != platform ]]; then
      echo "$where:$lineno: $folder/ includes $header, which is private to platform/" >&2
      status=1
      continue
    fi
    if [[ $header == "$plugin_interface" && ($folder == trading || $folder == shell) ]]; then
      continue
    fi
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "$where:$lineno: $folder/ includes $header, which lies in a layer above it" >&2
      status=1
    fi
  done < <(grep -rnE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' --include='*.c' \
             '^[[:space:]]*#[[:space:]]*include' "$folder" || true)
done

if ((status)); then
  echo "layer check failed: allowed order is ${layers[*]} (plugin: platform core; standins: platform; platform/internal/ only platform; trading and shell: $plugin_interface of plugin)" >&2
fi
exit $status
