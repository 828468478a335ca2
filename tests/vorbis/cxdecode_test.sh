#!/bin/sh
# cxdecode on Ogg Vorbis: --raw gives oggdec's length, WAV output is the
# header and the same PCM, --info reports the format, length and tags, and
# a file it cannot decode (named .ogg, or Ogg pages of no Vorbis stream)
# exits non-zero.
set -eu
cxdecode=$1
corpus=$2
work=vorbis-cxdecode-test
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

ogg=$corpus/tagged.ogg
"$cxdecode" --raw "$ogg" "$work/out.raw" || fail "raw decode"
"$cxdecode" "$ogg" "$work/out.wav" || fail "wav decode"
"$cxdecode" --raw "$ogg" - > "$work/stdout.raw" || fail "decode to stdout"
cmp -s "$work/out.raw" "$work/stdout.raw" || fail "stdout differs from file output"
raw_size=$(wc -c < "$work/out.raw")
[ "$raw_size" -eq "$(wc -c < "$corpus/tagged.raw")" ] || fail "length differs from oggdec's"
[ "$(wc -c < "$work/out.wav")" -eq $((raw_size + 44)) ] || fail "WAV is not header + PCM"
tail -c "$raw_size" "$work/out.wav" | cmp -s - "$work/out.raw" || fail "WAV data differs from raw"

"$cxdecode" --info "$ogg" > "$work/info.txt" || fail "--info"
grep -q "Ogg Vorbis" "$work/info.txt" || fail "no codec line: $(cat "$work/info.txt")"
grep -q "2 channels, 44100 Hz, 16 bits, samples 44100" "$work/info.txt" || fail "format line: $(cat "$work/info.txt")"
grep -q "title: Caf" "$work/info.txt" || fail "no title: $(cat "$work/info.txt")"

# Chosen by content whatever the name.
cp "$corpus/q0-8k-mono.ogg" "$work/noext.bin"
"$cxdecode" --raw "$work/noext.bin" "$work/noext.raw" || fail "decode by content"
cmp -s "$work/noext.raw" "$corpus/q0-8k-mono.raw" || [ "$(wc -c < "$work/noext.raw")" -eq "$(wc -c < "$corpus/q0-8k-mono.raw")" ] \
  || fail "decode by content: wrong length"

printf 'not a stream at all\n' > "$work/bad.ogg"
if "$cxdecode" --raw "$work/bad.ogg" "$work/bad.raw" 2> "$work/bad.txt"; then fail "bad.ogg decoded"; fi
grep -q "cannot decode" "$work/bad.txt" || fail "no message for bad.ogg"
head -c 3000 "$corpus/q3-22k-mono.ogg" > "$work/cut.ogg"
if "$cxdecode" --info "$work/cut.ogg" > /dev/null 2>&1; then fail "headers-only file opened"; fi
echo "cxdecode Ogg Vorbis: all checks passed"
