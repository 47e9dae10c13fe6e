#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the terminal and runs it.
#
#   scripts/run.sh            against the quote-service double on 127.0.0.1
#                             (log in with Enter, the "联    机" default; demo/demo is filled in),
#                             with the simulated broker on 127.0.0.1:17001 as the trading
#                             server (F12, account 880001, password 111111)
#   scripts/run.sh --offline  on the same data set without a server ("脱机浏览")
#
# The terminal's folders are laid out below build-run/terminal: the program
# folder "bin" (the current folder of the program, with its SERVER.INI),
# "cfg", "data" and the user folder "user". Without a display the terminal
# is shown through Qt's VNC platform on port 5900. KIVO_SIM_PORT moves the
# simulated broker off 17001 (the port is written once into Consign.ini).
# Lines appended to build-run/simbroker-commands.txt run as the simulated
# broker's script statements while it runs (see README).
set -euo pipefail
cd "$(dirname "$0")/.."
offline=0
case "${1:-}" in
  --offline) offline=1 ;;
  "") ;;
  *) echo "usage: scripts/run.sh [--offline]" >&2; exit 2 ;;
esac

scripts/setup.sh
build=${KIVO_RUN_BUILD_DIR:-build-run}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIVO_BENCH=OFF >/dev/null
cmake --build "$build" --target kivon quote_double system_library chart_pictures \
  Tradebridge KSInterB2C ksPortalAPI kvlogger tradekernel simbroker_server

root="$build/terminal"
mkdir -p "$root/bin"
# The program with the libraries it binds beside it (not the test stand-ins).
cp -f "$build/bin/kivon" "$build/bin/libplatform.so" "$build/bin/libclasslib.so" "$build/bin/libmsimg32.so" "$build/bin/libkivoweb.so" "$root/bin/"
# The trading plug-in with the broker library, the logger and the library
# that must load before it.
for lib in Tradebridge KSInterB2C ksPortalAPI kvlogger tradekernel; do
  cp -f "$build/bin/lib$lib.so" "$root/bin/"
done
# The account report's stylesheet and chart template.
mkdir -p "$root/bin/images"
cp -f trading/reportfiles/style.css "$root/bin/"
cp -f trading/reportfiles/images/Sample.bmp "$root/bin/images/"
# The frame's own skins for both tool-bar layouts.
python3 scripts/make_skins.py "$root/bin"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  export QT_QPA_PLATFORM=vnc:port=5900
  echo "No display: the terminal is shown over VNC on 127.0.0.1:5900."
fi

# The system formula library and the drawing statements' icons and pictures
# the build makes, beside the data set's settings.
install_formulas() {
  mkdir -p "$root/cfg" && cp -f "$build/cfg/KvIndexS.dat" "$root/cfg/"
  cp -rf "$build/cfg/Icon" "$build/cfg/Bmp" "$root/cfg/"
}

if [ "$offline" = 1 ]; then
  "$build/bin/quote_double" --offline-terminal "$root"
  install_formulas
  exec "$root/bin/kivon"
fi

log=$(mktemp)
# The simulated broker runs the lines of its command file: first the prices
# the quote double starts at, then whatever a person appends.
commands="$build/simbroker-commands.txt"
: >"$commands"
"$build/bin/quote_double" --terminal "$root" --broker-prices "$commands" >"$log" 2>&1 &
double=$!
simport=${KIVO_SIM_PORT:-17001}
"$build/bin/simbroker_server" --port "$simport" --commands "$commands" >/dev/null 2>&1 &
broker=$!
trap 'kill "$double" "$broker" 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 1 100); do
  grep -q '^push ' "$log" && break
  kill -0 "$double" 2>/dev/null || { cat "$log" >&2; exit 1; }
  sleep 0.1
done
cat "$log"
install_formulas
# The simulated broker is the trading server.
consign="$root/cfg/Consign.ini"
if ! grep -qi '^\[jsd\]' "$consign" 2>/dev/null; then
  printf '[jsd]\r\ns1=模拟交易\r\ns1a=127.0.0.1\r\ns1p=%s\r\ns1t=1\r\n' "$simport" | iconv -f UTF-8 -t GBK >>"$consign"
fi
"$root/bin/kivon"
