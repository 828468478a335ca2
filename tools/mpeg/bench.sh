#!/bin/sh
# Decoding speed over a corpus: each file through native cxdecode --raw and
# mpg123 -q -s (and ffmpeg when installed), taking turns, five rounds; each
# decoder's best processor time (user + system) per file counts, which other
# work on the machine disturbs far less than wall-clock time. Prints the
# ratio cxdecode/mpg123 per file and their geometric mean.
# The corpus (made once into BUILD_DIR/bench-fixture): a music-like mix at
# 192 kbit/s, pink and white noise, steady tones, plucked strings, speech,
# a 320 kbit/s file, a VBR file and a Layer II file.
# With a Windows build folder as well, cxdecode.exe is timed under Wine the
# same way, less the processor time of starting it for --info on the file.
# Usage: tools/mpeg/bench.sh BUILD_DIR [WINDOWS_BUILD_DIR]
# CXDECODE=path times another cxdecode (an older build, say) instead.
set -eu
build=${1:-build/bench}
cxdecode=${CXDECODE:-$build/bin/cxdecode}
work=$build/bench-fixture
mkdir -p "$work"
seconds=180
rounds=${BENCH_ROUNDS:-5}

stereo() {  # stereo() OUT LEFT_SYNTH... -- RIGHT_SYNTH...: two mono signals joined
  out=$1
  shift
  left="" right="" side=left
  for a in "$@"; do
    if [ "$a" = "--" ]; then side=right; continue; fi
    if [ $side = left ]; then left="$left $a"; else right="$right $a"; fi
  done
  # shellcheck disable=SC2086
  sox -R -n -r 44100 -c 1 -b 16 "$work/l.wav" synth $seconds $left
  # shellcheck disable=SC2086
  sox -R -n -r 44100 -c 1 -b 16 "$work/r.wav" synth $seconds $right
  sox -M "$work/l.wav" "$work/r.wav" "$out"
  rm -f "$work/l.wav" "$work/r.wav"
}

make_corpus() {
  [ -s "$work/corpus.done" ] && return 0
  # A music-like signal: a chord with vibrato and tremolo, a moving tone
  # and quiet pink noise, different in each channel.
  stereo "$work/mix.wav" sine 220 sine 277 sine 330 sine 1100-3300 pinknoise remix 1-5 vol 0.25 tremolo 3 40 \
      -- sine 165 sine 247 sine 440 sine 2500-800 pinknoise remix 1-5 vol 0.25 tremolo 5 30
  lame --quiet -b 192 "$work/mix.wav" "$work/music-192k.mp3"
  lame --quiet -b 320 "$work/mix.wav" "$work/music-320k.mp3"
  twolame --quiet -b 224 "$work/mix.wav" "$work/music-224k.mp2"
  stereo "$work/pink.wav" pinknoise vol 0.5 -- pinknoise vol 0.5
  lame --quiet -b 192 "$work/pink.wav" "$work/pink-192k.mp3"
  stereo "$work/white.wav" whitenoise vol 0.4 -- whitenoise vol 0.4
  lame --quiet -b 256 "$work/white.wav" "$work/white-256k.mp3"
  stereo "$work/tones.wav" sine 440 sine 660 remix 1-2 vol 0.4 -- sine 550 sine 880 remix 1-2 vol 0.4
  lame --quiet -b 128 "$work/tones.wav" "$work/tones-128k.mp3"
  # Plucked strings: notes of a few pitches, one after the other.
  for n in 0 1 2 3 4 5 6 7; do
    set -- 220 247 262 294 330 349 392 440
    shift $n
    sox -R -n -r 44100 -c 2 -b 16 "$work/note$n.wav" synth 0.5 pluck "$1" vol 0.6
  done
  sox "$work"/note?.wav "$work/phrase.wav"
  sox "$work/phrase.wav" "$work/pluck.wav" repeat $((seconds / 4 - 1))
  lame --quiet -V 2 "$work/pluck.wav" "$work/pluck-vbr.mp3"
  rm -f "$work"/note?.wav "$work/phrase.wav"
  # Speech, made long by repetition.
  espeak-ng -w "$work/voice.wav" "The quick brown fox jumps over the lazy dog. \
    Pack my box with five dozen liquor jugs. How vexingly quick daft zebras jump."
  sox "$work/voice.wav" -r 44100 -c 2 "$work/voice44.wav"
  len=$(soxi -D "$work/voice44.wav")
  sox "$work/voice44.wav" "$work/speech.wav" repeat "$(awk -v l="$len" -v s=$seconds 'BEGIN { print int(s / l) }')"
  lame --quiet -b 128 "$work/speech.wav" "$work/speech-128k.mp3"
  rm -f "$work"/*.wav
  echo done > "$work/corpus.done"
}
make_corpus
files="music-192k.mp3 pink-192k.mp3 white-256k.mp3 tones-128k.mp3 pluck-vbr.mp3 speech-128k.mp3 music-320k.mp3
music-224k.mp2"

cpu() {  # processor seconds of one run of the command given, to the microsecond
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.6f" % (r.ru_utime + r.ru_stime))' "$@"
}
lower() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
geomean() { awk '{ s += log($1); n++ } END { if (n) printf "%.2f", exp(s / n) }'; }

have_ffmpeg=0
command -v ffmpeg >/dev/null 2>&1 && have_ffmpeg=1
: > "$work/ratios.txt"
: > "$work/ff-ratios.txt"
: > "$work/mpg123.txt"
printf '%-16s %9s %9s %7s' file cxdecode mpg123 ratio
[ $have_ffmpeg = 1 ] && printf ' %9s %7s' ffmpeg 'cx/ff'
printf '\n'
for f in $files; do
  file=$work/$f
  cx="" ref="" ff=""
  for _ in $(seq "$rounds"); do
    cx=$(lower "$cx" "$(cpu "$cxdecode" --raw "$file" -)")
    ref=$(lower "$ref" "$(cpu mpg123 -q -s "$file")")
    if [ $have_ffmpeg = 1 ]; then ff=$(lower "$ff" "$(cpu ffmpeg -v quiet -i "$file" -f s16le -)"); fi
  done
  r=$(ratio "$cx" "$ref")
  echo "$r" >> "$work/ratios.txt"
  echo "$f $ref" >> "$work/mpg123.txt"
  printf '%-16s %9.3f %9.3f %7s' "$f" "$cx" "$ref" "$r"
  if [ $have_ffmpeg = 1 ]; then
    echo "$(ratio "$cx" "$ff")" >> "$work/ff-ratios.txt"
    printf ' %9.3f %7s' "$ff" "$(ratio "$cx" "$ff")"
  fi
  printf '\n'
done
[ $have_ffmpeg = 1 ] && printf 'geometric mean cxdecode/ffmpeg : %s\n' "$(geomean < "$work/ff-ratios.txt")"
printf 'geometric mean cxdecode/mpg123 : %s (target 1.00 or less)\n' "$(geomean < "$work/ratios.txt")"

windows=${2:-}
if [ -n "$windows" ] && [ -x "$windows/bin/cxdecode.exe" ]; then
  here=$(cd "$(dirname "$0")/../.." && pwd)
  exe="$windows/bin/cxdecode.exe"
  : > "$work/win-ratios.txt"
  for f in $files; do
    win_file="Z:$(cd "$work" && pwd | tr / '\\')\\$f"
    start="" full=""
    for _ in $(seq "$rounds"); do
      start=$(lower "$start" "$(cpu "$here/tools/wine-run" --no-audio "$exe" --info "$win_file")")
      full=$(lower "$full" "$(cpu "$here/tools/wine-run" --no-audio "$exe" --raw "$win_file" NUL)")
    done
    dec=$(awk -v a="$full" -v b="$start" 'BEGIN { print a - b }')
    ref=$(awk -v f="$f" '$1 == f { print $2 }' "$work/mpg123.txt")
    echo "$(ratio "$dec" "$ref")" >> "$work/win-ratios.txt"
    printf 'cxdecode.exe under Wine, %s: %.3f s (%.3f s run, %.3f s start-up), ratio to mpg123 %s\n' \
        "$f" "$dec" "$full" "$start" "$(ratio "$dec" "$ref")"
  done
  printf 'geometric mean cxdecode.exe/mpg123 : %s\n' "$(geomean < "$work/win-ratios.txt")"
fi
