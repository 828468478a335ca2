#!/bin/sh
# Decoding speed: the same 5-minute 192 kbit/s stereo MP3 through native
# cxdecode --raw, mpg123 -s and (when installed) ffmpeg. Each decoder runs
# three times; the best time counts.
# Usage: tools/mpeg/bench.sh BUILD_DIR
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

now() { date +%s.%N; }
best() {  # best of three wall-clock times of the command given
  b=""
  for _ in 1 2 3; do
    t0=$(now)
    "$@" >/dev/null 2>&1
    t1=$(now)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
  done
  printf '%.3f' "$b"
}

cx=$(best "$cxdecode" --raw "$mp3" -)
ref=$(best mpg123 -q -s "$mp3")
printf 'cxdecode --raw : %s s\n' "$cx"
printf 'mpg123 -s      : %s s\n' "$ref"
if command -v ffmpeg >/dev/null 2>&1; then
  ff=$(best ffmpeg -v quiet -i "$mp3" -f s16le -)
  printf 'ffmpeg         : %s s\n' "$ff"
  printf 'ratio cxdecode/ffmpeg : %.2f\n' "$(awk -v a="$cx" -v b="$ff" 'BEGIN { print a / b }')"
fi
printf 'ratio cxdecode/mpg123 : %.2f (target 1.50 or less)\n' "$(awk -v a="$cx" -v b="$ref" 'BEGIN { print a / b }')"
