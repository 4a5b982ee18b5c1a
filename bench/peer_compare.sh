#!/usr/bin/env bash
# Records the same scripted X workload twice on a private Xvfb (1920x1080x24):
# once with `ostrel record` (png and jpeg), once with ffmpeg x11grab + libx264
# (ultrafast, and lossless libx264rgb -qp 0), and prints for each side the
# recorder's CPU seconds, the X server's extra CPU, the output bytes and the
# ratios ours vs ffmpeg. Usage: bench/peer_compare.sh [seconds]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
fps=25
width=1920
height=1080
build=${OSTREL_BUILD_DIR:-$root/build/rel}
ostrel=$build/src/ostrel

# --- tools -----------------------------------------------------------------
need_packages=()
need() { command -v "$1" >/dev/null 2>&1 || need_packages+=("$2"); }
need ffmpeg ffmpeg
need xterm xterm
need xdotool xdotool
need Xvfb xvfb
need convert imagemagick
need display imagemagick
need xwininfo x11-utils
[ -x /usr/bin/time ] || need_packages+=(time)
# The desktop picture names its fonts.
fc-list 2>/dev/null | grep 'DejaVuSans\.ttf' >/dev/null || need_packages+=(fonts-dejavu-core fontconfig)
if [ ${#need_packages[@]} -gt 0 ]; then
  echo "installing: ${need_packages[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${need_packages[@]}" >/dev/null
fi

# --- release build without sanitizers ---------------------------------------
if [ ! -x "$ostrel" ]; then
  echo "building the release ostrel in $build" >&2
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTREL_BUILD_TESTS=OFF \
      -DOSTREL_WERROR=OFF -DOSTREL_BUILD_GUI=OFF -DOSTREL_BUILD_BENCH=OFF >/dev/null
  fi
  cmake --build "$build" --target ostrel -- -j"$(nproc)" >/dev/null
fi

work=$(mktemp -d /tmp/ostrel-peer.XXXXXX)
export XDG_CACHE_HOME=$work/cache
export XDG_STATE_HOME=$work/state
xvfb_pid=""
workload_pids=()
typer_pid=""

stop_pid() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
stop_workload() {
  stop_pid "$typer_pid"
  typer_pid=""
  local pid
  for pid in "${workload_pids[@]}"; do stop_pid "$pid"; done
  workload_pids=()
}
cleanup() {
  stop_workload
  stop_pid "$xvfb_pid"
  rm -rf "$work"
}
trap cleanup EXIT

# --- private X server ---------------------------------------------------------
exec {displayfd_w}>"$work/displayfd"
Xvfb -displayfd "$displayfd_w" -screen 0 "${width}x${height}x24" -noreset -nolisten tcp \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec {displayfd_w}>&-
for _ in $(seq 100); do
  # The server writes the display number and a newline once it accepts clients.
  grep -q '^[0-9][0-9]*$' "$work/displayfd" 2>/dev/null && [ "$(tail -c1 "$work/displayfd" | od -An -c | tr -d ' ')" = '\n' ] && break
  sleep 0.1
done
display_number=$(tr -d '\n' <"$work/displayfd")
[ -n "$display_number" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$display_number

clk_tck=$(getconf CLK_TCK)
# utime+stime of a process in clock ticks (fields 14 and 15, counted after the name).
cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
ticks_to_seconds() { awk -v t="$1" -v hz="$clk_tck" 'BEGIN { printf "%.2f", t / hz }'; }

# --- workloads ------------------------------------------------------------------
# A still, detailed desktop: gradients, shapes and text as the root background,
# plus two xterms full of text.
make_desktop() {
  local text=$work/desktop.txt
  ls -l /usr/bin >"$work/listing.txt"
  sed -n 1,60p "$work/listing.txt" >"$text"
  convert -size "${width}x${height}" gradient:'#16324f-#c87f2a' \
    \( -size 900x700 radial-gradient:'#f0f0ff-#16324f00' \) -geometry +960+60 -composite \
    -fill '#ffffffcc' -draw 'roundrectangle 60,600 860,1020 20,20' \
    -fill '#203040' -font DejaVu-Sans -pointsize 13 -annotate +80+630 "$(cat "$text")" \
    -fill '#ffe8b0' -font DejaVu-Serif-Bold -pointsize 64 -annotate +980+900 'Quarterly review' \
    "$work/desktop.png"
  # display exits with 1 after setting the root window, even when it worked.
  display -window root "$work/desktop.png" || true
}

start_xterm() {
  local title=$1 geometry=$2
  shift 2
  xterm -T "$title" -geometry "$geometry" -fa 'DejaVu Sans Mono' -fs 10 -e "$@" >/dev/null 2>&1 &
  workload_pids+=($!)
  xdotool search --sync --name "^$title\$" >/dev/null
}

start_still() {
  start_xterm peer-left 110x45+40+40 sh -c 'ls -l /usr/lib | head -80; exec sleep 100000'
  start_xterm peer-right 90x30+1000+200 sh -c 'env | sort; exec sleep 100000'
  sleep 1
}

typing_text="The quick brown fox jumps over the lazy dog while the recorder watches. "
typing_text+="Pack my box with five dozen liquor jugs, then type a little more text. "
typing_text+="Sphinx of black quartz, judge my vow; how vexingly quick daft zebras jump. "

start_typing_xterm() {
  start_xterm peer-typing 100x20+500+650 cat
  local wid
  wid=$(xdotool search --name '^peer-typing$' | awk 'NR == 1')
  xdotool mousemove --window "$wid" 200 100
  sleep 0.5
}

# Types about 16 characters a second into the window under the pointer
# (xdotool spends half its delay after the press, half after the release).
start_typer() {
  local text="" i
  for ((i = 0; i <= seconds * 16 / ${#typing_text} + 1; ++i)); do text+=$typing_text; done
  xdotool type --delay 125 "$text" &
  typer_pid=$!
}

# --- one measured run -------------------------------------------------------------
# run_side NAME WITH_TYPING COMMAND... ; sets run_user run_x run_bytes
declare -A result_cpu result_x result_bytes
run_side() {
  local name=$1 typing=$2 output=$3
  shift 3
  [ "$typing" = yes ] && start_typing_xterm
  local x_before x_after
  x_before=$(cpu_ticks "$xvfb_pid")
  [ "$typing" = yes ] && start_typer
  /usr/bin/time -f '%U %S' -o "$work/time.txt" "$@" >"$work/run.log" 2>&1 ||
    { echo "$name failed:" >&2; cat "$work/run.log" >&2; exit 1; }
  x_after=$(cpu_ticks "$xvfb_pid")
  stop_pid "$typer_pid"
  typer_pid=""
  if [ "$typing" = yes ]; then
    # Next run starts with a fresh typing window.
    local last=${workload_pids[-1]}
    stop_pid "$last"
    unset 'workload_pids[-1]'
  fi
  result_cpu[$name]=$(awk '{ printf "%.2f", $1 + $2 }' "$work/time.txt")
  result_x[$name]=$((x_after - x_before))
  if [ "$output" = - ]; then
    result_bytes[$name]=0
  else
    result_bytes[$name]=$(stat -c %s "$output")
  fi
}

x264=(ffmpeg -nostdin -hide_banner -loglevel error -y -f x11grab -framerate "$fps"
  -video_size "${width}x${height}" -i "$DISPLAY" -t "$seconds")

measure_workload() {
  local label=$1 typing=$2
  echo "== $label: ${seconds} s at $fps fps, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  # X server CPU with the workload and no recorder, to take off both sides.
  run_side idle "$typing" - sleep "$seconds"
  run_side ours-png "$typing" "$work/png.ORec" \
    "$ostrel" record --out "$work/png.ORec" --seconds "$seconds" --fps "$fps" --kind png
  run_side ffmpeg-x264 "$typing" "$work/x264.mkv" \
    "${x264[@]}" -c:v libx264 -preset ultrafast "$work/x264.mkv"
  run_side ours-jpeg "$typing" "$work/jpeg.ORec" \
    "$ostrel" record --out "$work/jpeg.ORec" --seconds "$seconds" --fps "$fps" --kind jpeg
  run_side ffmpeg-x264rgb-qp0 "$typing" "$work/x264rgb.mkv" \
    "${x264[@]}" -c:v libx264rgb -qp 0 -preset ultrafast "$work/x264rgb.mkv"
  echo "   load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

  local idle_x=${result_x[idle]} name extra total
  declare -A total_cpu
  printf '| %-20s | %10s | %9s | %9s | %10s | %12s |\n' recorder "proc CPU s" "X raw s" "X extra s" "total s" "bytes"
  printf '|%s|%s|%s|%s|%s|%s|\n' ---------------------- -----------: ----------: ----------: -----------: -------------:
  for name in ours-png ours-jpeg ffmpeg-x264 ffmpeg-x264rgb-qp0; do
    extra=$((result_x[$name] - idle_x))
    [ "$extra" -ge 0 ] || extra=0
    total=$(awk -v c="${result_cpu[$name]}" -v x="$extra" -v hz="$clk_tck" 'BEGIN { printf "%.2f", c + x / hz }')
    total_cpu[$name]=$total
    printf '| %-20s | %10s | %9s | %9s | %10s | %12s |\n' "$name" "${result_cpu[$name]}" \
      "$(ticks_to_seconds "${result_x[$name]}")" "$(ticks_to_seconds "$extra")" "$total" "${result_bytes[$name]}"
  done
  echo "   X server CPU with the workload alone: $(ticks_to_seconds "$idle_x") s"
  local ours peer
  for ours in ours-png ours-jpeg; do
    for peer in ffmpeg-x264 ffmpeg-x264rgb-qp0; do
      awk -v o="${total_cpu[$ours]}" -v p="${total_cpu[$peer]}" -v ob="${result_bytes[$ours]}" \
        -v pb="${result_bytes[$peer]}" -v on="$ours" -v pn="$peer" 'BEGIN {
          cpu = (o > 0) ? sprintf("%.1fx less CPU", p / o) : "CPU below the clock resolution";
          printf "   %s vs %s: %s, bytes %.2f of theirs\n", on, pn, cpu, ob / pb }'
    done
  done
}

make_desktop
start_still
echo "ostrel: $ostrel ($(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)), $(nproc) cores"
measure_workload "still detailed desktop" no
measure_workload "xterm typing ~16 chars/s" yes
