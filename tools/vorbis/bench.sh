#!/bin/sh
# Ogg Vorbis decoding speed: a corpus of minute-long files (a music-like
# stereo signal at q3, q6 and q10, mono speech, 5.1 noise) through native
# cxdecode --raw and oggdec. The decoders take turns, five rounds; each
# one's best processor time (user + system, from the child's resource
# usage) counts per file. Prints each file's ratio and their geometric mean.
# Usage: tools/vorbis/bench.sh BUILD_DIR
set -eu
build=${1:-build/bench}
cxdecode=$build/bin/cxdecode
work=$build/vorbis-bench
mkdir -p "$work"

make_corpus() {
  [ -s "$work/speech.ogg" ] && return
  sox -n -r 44100 -c 1 -b 16 "$work/left.wav" synth 60 sine 220 sine 277 sine 330 \
      sine 1100-3300 pinknoise remix 1-5 vol 0.25 tremolo 3 40
  sox -n -r 44100 -c 1 -b 16 "$work/right.wav" synth 60 sine 165 sine 247 sine 440 \
      sine 2500-800 pinknoise remix 1-5 vol 0.25 tremolo 5 30
  sox -M "$work/left.wav" "$work/right.wav" "$work/music.wav"
  for q in 3 6 10; do oggenc -Q -q $q "$work/music.wav" -o "$work/music-q$q.ogg"; done
  text="The quick brown fox jumps over the lazy dog while the decoder counts every sample. "
  i=0; all=""; while [ $i -lt 14 ]; do all="$all$text"; i=$((i + 1)); done
  espeak-ng -w "$work/speech-raw.wav" "$all"
  sox "$work/speech-raw.wav" -c 1 "$work/speech.wav" trim 0 60
  oggenc -Q -q 3 "$work/speech.wav" -o "$work/speech.ogg"
  sox -n -r 48000 -c 6 -b 16 "$work/surround.wav" synth 60 pinknoise vol 0.3
  oggenc -Q -q 5 "$work/surround.wav" -o "$work/surround-5.1.ogg"
  rm -f "$work"/*.wav
}
make_corpus

cpu() {  # processor seconds of one run of the command given, to the microsecond
  python3 -c '
import os, subprocess, sys
devnull = open(os.devnull, "wb")
p = subprocess.Popen(sys.argv[1:], stdout=devnull, stderr=devnull)
_, status, usage = os.wait4(p.pid, 0)
print("%.6f" % (usage.ru_utime + usage.ru_stime))' "$@"
}
lower() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

logsum=0 count=0
for f in music-q3 music-q6 music-q10 speech surround-5.1; do
  ogg=$work/$f.ogg
  cx="" ref=""
  for _ in 1 2 3 4 5; do
    cx=$(lower "$cx" "$(cpu "$cxdecode" --raw "$ogg" -)")
    ref=$(lower "$ref" "$(cpu oggdec -Q -R -o - "$ogg")")
  done
  r=$(awk -v a="$cx" -v b="$ref" 'BEGIN { printf "%.3f", a / b }')
  printf '%-14s cxdecode %.3f s  oggdec %.3f s  ratio %s\n' "$f" "$cx" "$ref" "$r"
  logsum=$(awk -v s="$logsum" -v r="$r" 'BEGIN { print s + log(r) }')
  count=$((count + 1))
done
awk -v s="$logsum" -v n="$count" \
  'BEGIN { printf "geometric mean cxdecode/oggdec: %.2f (goal 1.00 or less, aim 0.80)\n", exp(s / n) }'
