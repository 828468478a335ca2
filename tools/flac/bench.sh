#!/bin/sh
# FLAC decoding speed: cxdecode --raw against the reference decoder
# (flac -d to raw little-endian) on a small corpus made here: a music-like
# stereo signal at 16 bits encoded at -5 and -8, the same at 24 bits and
# 96 kHz, and white noise. The two take turns, five rounds; each one's best
# processor time (user + system) counts, itself the mean of five runs.
# Prints each file's ratio and the geometric mean (target 1.00 or less).
# Usage: tools/flac/bench.sh BUILD_DIR
set -eu
build=${1:-build/bench}
cxdecode=$build/bin/cxdecode
work=$build/flac-bench
mkdir -p "$work"

# A chord with vibrato and tremolo, a moving tone and quiet pink noise,
# different in each channel.
music() {  # rate bits seconds output
  sox -D -r "$1" -n -c 1 -b "$2" "$work/left.wav" synth "$3" sine 220 sine 277 sine 330 \
      sine 1100-3300 pinknoise remix 1-5 vol 0.25 tremolo 3 40
  sox -D -r "$1" -n -c 1 -b "$2" "$work/right.wav" synth "$3" sine 165 sine 247 sine 440 \
      sine 2500-800 pinknoise remix 1-5 vol 0.25 tremolo 5 30
  sox -M "$work/left.wav" "$work/right.wav" "$4"
  rm -f "$work/left.wav" "$work/right.wav"
}
make_file() {  # name level source-maker...
  name=$1 level=$2
  shift 2
  [ -s "$work/$name.flac" ] && return
  "$@" "$work/src.wav"
  flac -s -f "$level" "$work/src.wav" -o "$work/$name.flac"
  rm -f "$work/src.wav"
}
noise() { sox -D -r 44100 -c 2 -n -b 16 "$1" synth 60 whitenoise vol 0.5; }
make_file music16-l5 -5 music 44100 16 120
make_file music16-l8 -8 music 44100 16 120
make_file music24-96k-l5 -5 music 96000 24 60
make_file noise16-l5 -5 noise

# Processor seconds of one run of the command given; it runs five times
# over, as a single run of these files is near the clock's 10 ms step.
cpu() {
  /usr/bin/time -f '%U %S' -o "$work/time.txt" sh -c 'for i in 1 2 3 4 5; do "$@"; done' cpu "$@" >/dev/null 2>&1
  awk '{ printf "%.3f\n", ($1 + $2) / 5 }' "$work/time.txt"
}
lower() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

logsum=0 count=0
for name in music16-l5 music16-l8 music24-96k-l5 noise16-l5; do
  f=$work/$name.flac
  cx="" ref=""
  for _ in 1 2 3 4 5; do
    cx=$(lower "$cx" "$(cpu "$cxdecode" --raw "$f" -)")
    ref=$(lower "$ref" "$(cpu flac -d -s -c --force-raw-format --endian=little --sign=signed "$f")")
  done
  ratio=$(awk -v a="$cx" -v b="$ref" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-16s cxdecode %.3f s  flac %.3f s  ratio %s\n' "$name" "$cx" "$ref" "$ratio"
  logsum=$(awk -v s="$logsum" -v a="$cx" -v b="$ref" 'BEGIN { print s + log(a / b) }')
  count=$((count + 1))
done
awk -v s="$logsum" -v n="$count" 'BEGIN { printf "FLAC geometric mean cxdecode/flac: %.2f (target 1.00 or less)\n", exp(s / n) }'
