#!/bin/sh
# Decoding speed: the same 5-minute 192 kbit/s stereo MP3 through native
# cxdecode --raw, mpg123 -s and (when installed) ffmpeg. The decoders take
# turns, five rounds; each one's best processor time (user + system) counts,
# which other work on the machine disturbs far less than wall-clock time.
# With a Windows build folder as well, cxdecode.exe is timed under Wine the
# same way, less the processor time of starting it for --info on the file.
# Usage: tools/mpeg/bench.sh BUILD_DIR [WINDOWS_BUILD_DIR]
set -eu
build=${1:-build/bench}
cxdecode=$build/bin/cxdecode
work=$build/bench-fixture
mkdir -p "$work"
mp3=$work/bench-192k.mp3

if [ ! -s "$mp3" ]; then
  # A music-like signal: a chord with vibrato and tremolo, a moving tone
  # and quiet pink noise, different in each channel.
  sox -n -r 44100 -c 1 -b 16 "$work/left.wav" synth 300 sine 220 sine 277 sine 330 \
      sine 1100-3300 pinknoise remix 1-5 vol 0.25 tremolo 3 40
  sox -n -r 44100 -c 1 -b 16 "$work/right.wav" synth 300 sine 165 sine 247 sine 440 \
      sine 2500-800 pinknoise remix 1-5 vol 0.25 tremolo 5 30
  sox -M "$work/left.wav" "$work/right.wav" "$work/bench.wav"
  lame --quiet -b 192 "$work/bench.wav" "$mp3"
  rm -f "$work/left.wav" "$work/right.wav" "$work/bench.wav"
fi

cpu() {  # processor seconds of one run of the command given
  /usr/bin/time -f '%U %S' -o "$work/time.txt" "$@" >/dev/null 2>&1
  awk '{ print $1 + $2 }' "$work/time.txt"
}
lower() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

have_ffmpeg=0
command -v ffmpeg >/dev/null 2>&1 && have_ffmpeg=1
cx="" ref="" ff=""
for _ in 1 2 3 4 5; do
  cx=$(lower "$cx" "$(cpu "$cxdecode" --raw "$mp3" -)")
  ref=$(lower "$ref" "$(cpu mpg123 -q -s "$mp3")")
  if [ $have_ffmpeg = 1 ]; then ff=$(lower "$ff" "$(cpu ffmpeg -v quiet -i "$mp3" -f s16le -)"); fi
done
printf 'cxdecode --raw : %.3f s\n' "$cx"
printf 'mpg123 -s      : %.3f s\n' "$ref"
if [ $have_ffmpeg = 1 ]; then
  printf 'ffmpeg         : %.3f s\n' "$ff"
  printf 'ratio cxdecode/ffmpeg : %s\n' "$(ratio "$cx" "$ff")"
fi
printf 'ratio cxdecode/mpg123 : %s (target 1.00 or less)\n' "$(ratio "$cx" "$ref")"

windows=${2:-}
if [ -n "$windows" ] && [ -x "$windows/bin/cxdecode.exe" ]; then
  here=$(cd "$(dirname "$0")/../.." && pwd)
  exe="$windows/bin/cxdecode.exe"
  win_mp3="Z:$(cd "$work" && pwd | tr / '\\')\\bench-192k.mp3"
  start="" full=""
  for _ in 1 2 3 4 5; do
    start=$(lower "$start" "$(cpu "$here/tools/wine-run" --no-audio "$exe" --info "$win_mp3")")
    full=$(lower "$full" "$(cpu "$here/tools/wine-run" --no-audio "$exe" --raw "$win_mp3" NUL)")
  done
  dec=$(awk -v a="$full" -v b="$start" 'BEGIN { print a - b }')
  printf 'cxdecode.exe under Wine: %.3f s (%.3f s run, %.3f s start-up)\n' "$dec" "$full" "$start"
  printf 'ratio cxdecode.exe/mpg123 : %s\n' "$(ratio "$dec" "$ref")"
fi
