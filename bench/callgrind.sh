#!/bin/sh
# Instruction counts (callgrind) of the straightforward reference engine and
# of the engine's render paths side by side, and of instance creation with
# the straightforward and the optimised parameter dispatch.
#   bench/callgrind.sh [build-dir] [seconds of audio]
# Render: the four workloads of bench/Workload.h (48 kHz, 64-sample host
# blocks), counted over the render calls only, after 200 blocks of warm-up.
# Creation: VSTPluginMain plus effOpen (factory bank included); the first
# instance of a process also builds the process-wide tables, the second shows
# what every further instance costs.
# Drawing: the editor's blit and fill paths (bench/DrawWork.h), instructions
# per pixel over 20 runs of 256 x 256 pixels, and per knob redraw.
set -eu
build=${1:-build/linux}
seconds=${2:-0.1}
render="$build/quarvi_render_probe"
create="$build/quarvi_create_probe"
for p in "$render" "$create"; do
  if [ ! -x "$p" ]; then
    echo "no $p: build the project first" >&2
    exit 1
  fi
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Creation reads the user settings: keep the real ones out of it.
export HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config"
mkdir -p "$XDG_CONFIG_HOME"

count() {  # count <output name> <toggle function> <program and arguments...>
  name=$1 toggle=$2
  shift 2
  valgrind --tool=callgrind --toggle-collect="$toggle" --callgrind-out-file="$out/$name.cg" "$@" \
    >"$out/$name.txt" 2>"$out/$name.err" || return 1
  awk '/^summary:/ {print $2}' "$out/$name.cg"
}

echo "Render: instructions per formant-sample ($seconds s of audio per workload)"
printf '%-24s %12s %12s %12s %12s %12s %22s\n' workload reference per-voice sse2 avx2 avx512 "best/reference"
for w in a b c d; do
  line=""
  ref=0
  best=0
  for e in reference per-voice sse2 avx2 avx512; do
    if i=$(count "$w-$e" QuarviProbeRender "$render" "$w" "$e" "$seconds"); then
      s=$(awk '{print $4}' "$out/$w-$e.txt")
      v=$(awk -v i="$i" -v s="$s" 'BEGIN {printf "%.1f", i / s}')
      [ "$e" = reference ] && ref=$v
      [ "$e" != reference ] && best=$v
    else
      v="-"
    fi
    line="$line $(printf '%12s' "$v")"
  done
  case $w in a) name="a: 1 voice, Fixed" ;; b) name="b: 64 voices, Fixed" ;;
    c) name="c: 64 voices, Partial" ;; d) name="d: 64 voices, Ring" ;; esac
  ratio=$(awk -v r="$ref" -v b="$best" 'BEGIN {printf "%.3f (%.2fx fewer)", b / r, r / b}')
  printf '%-24s%s %22s\n' "$name" "$line" "$ratio"
done
echo "(best: the path the processor takes, avx512 or avx2 where it runs, else sse2; valgrind 3.19 does not"
echo " run AVX-512 and hides it from the program, so avx512 shows '-' and the render takes avx2 under it)"

echo
echo "Instance creation (VSTPluginMain + effOpen, factory bank included): instructions"
printf '%-16s %16s %16s\n' dispatch "first instance" "each further"
for mode in straightforward optimised; do
  arg=""
  [ "$mode" = straightforward ] && arg=straightforward
  one=$(count "create1-$mode" QuarviProbeCreate "$create" 1 $arg)
  two=$(count "create2-$mode" QuarviProbeCreate "$create" 2 $arg)
  further=$((two - one))
  eval "first_$mode=$one further_$mode=$further"
  printf '%-16s %16s %16s\n' "$mode" "$one" "$further"
done
awk -v a="$first_straightforward" -v b="$first_optimised" -v c="$further_straightforward" \
  -v d="$further_optimised" 'BEGIN {printf "%-16s %16s %16s\n", "ratio", sprintf("%.2fx fewer", a / b), sprintf("%.2fx fewer", c / d)}'

draw="$build/quarvi_draw_probe"
if [ -x "$draw" ]; then
  echo
  echo "Drawing (bench/DrawWork.h): instructions per pixel, 20 x 256 x 256 pixels per path"
  printf '%-20s %12s\n' path "per pixel"
  i=0
  while name=$("$draw" "$i" 1 2>/dev/null); do
    n=$(count "draw-$i" QuarviProbeDraw "$draw" "$i" 20)
    printf '%-20s %12s\n' "$(echo "$name" | sed 's/ pixels.*//')" "$(awk -v n="$n" 'BEGIN {printf "%.2f", n / (20 * 65536)}')"
    i=$((i + 1))
  done
  n=$(count draw-knob QuarviProbeDraw "$draw" knob 1000)
  printf '%-20s %12s\n' "knob redraw" "$(awk -v n="$n" 'BEGIN {printf "%.0f per redraw (40 x 40 background + frame)", n / 1000}')"
fi
