#!/bin/sh
# cxdecode end to end: WAV and raw output agree with each other and with
# the reference within the accuracy bar, --info reports the stream, and a
# file that is not MPEG audio gives one line on standard error and exit 1.
set -eu
cxdecode=$1
fixtures=$2
work=mpeg-cxdecode-test
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

mp3=$fixtures/l3-44k-joint-128.mp3
"$cxdecode" --raw "$mp3" "$work/out.raw" || fail "raw decode"
"$cxdecode" "$mp3" "$work/out.wav" || fail "wav decode"
"$cxdecode" --raw "$mp3" - > "$work/stdout.raw" || fail "decode to stdout"
cmp -s "$work/out.raw" "$work/stdout.raw" || fail "stdout differs from file output"

raw_size=$(wc -c < "$work/out.raw")
wav_size=$(wc -c < "$work/out.wav")
[ "$wav_size" -eq $((raw_size + 44)) ] || fail "WAV is not header + PCM ($wav_size vs $raw_size)"
tail -c "$raw_size" "$work/out.wav" | cmp -s - "$work/out.raw" || fail "WAV data differs from raw"
head -c 4 "$work/out.wav" | grep -q RIFF || fail "no RIFF header"
[ "$raw_size" -eq "$(wc -c < "$fixtures/l3-44k-joint-128.ref.raw")" ] || fail "length differs from reference"

"$cxdecode" --info "$mp3" > "$work/info.txt" || fail "--info"
grep -q "MPEG 1 Layer 3, 44100 Hz, 128 kbit/s, joint stereo" "$work/info.txt" || fail "info line: $(cat "$work/info.txt")"

quartered=$fixtures/l3-8k-joint-24.mp3
"$cxdecode" --info "$quartered" > "$work/info8k.txt" || fail "--info 8 kHz"
grep -q "MPEG 2.5 Layer 3, 8000 Hz, 24 kbit/s, joint stereo" "$work/info8k.txt" ||
  fail "8 kHz info line: $(cat "$work/info8k.txt")"

# Frames of another rate in a joined file are reported as skipped.
cat "$mp3" "$fixtures/l3-48k-vbr.mp3" > "$work/joined.mp3"
"$cxdecode" --info "$work/joined.mp3" > "$work/joined.txt" || fail "--info joined"
grep -q "^skipped: [1-9][0-9]* frames of another sampling rate or layer" "$work/joined.txt" ||
  fail "joined info: $(cat "$work/joined.txt")"

# The encoder's delay and padding are trimmed unless --no-gapless.
tagged=$fixtures/l3-44k-infotag-128.mp3
"$cxdecode" --raw "$tagged" "$work/trimmed.raw" || fail "gapless decode"
"$cxdecode" --raw --no-gapless "$tagged" "$work/untrimmed.raw" || fail "--no-gapless decode"
[ "$(wc -c < "$work/trimmed.raw")" -eq "$(wc -c < "$fixtures/l3-44k-infotag-128-gapless.ref.raw")" ] ||
  fail "trimmed length differs from the gapless reference"
[ "$(wc -c < "$work/untrimmed.raw")" -eq "$(wc -c < "$fixtures/l3-44k-infotag-128.ref.raw")" ] ||
  fail "--no-gapless length differs from the untrimmed reference"

# A header that looks valid (MPEG-1 Layer I, 448 kbit/s, 48 kHz) with no
# frame behind it: no stream, exit 1.
{ printf '\377\377\344\104'; head -c 2000 /dev/zero | tr '\0' 'U'; } > "$work/false-sync.mp3"
if "$cxdecode" "$work/false-sync.mp3" "$work/false-sync.wav" 2>/dev/null; then fail "false sync decoded"; fi
if "$cxdecode" --info "$work/false-sync.mp3" >/dev/null 2>&1; then fail "false sync has --info"; fi
# Junk with that header in front of a real stream: the same PCM as without.
{ head -c 700 "$work/false-sync.mp3"; cat "$mp3"; } > "$work/junk-front.mp3"
"$cxdecode" --raw "$work/junk-front.mp3" "$work/junk-front.raw" || fail "junk in front"
cmp -s "$work/junk-front.raw" "$work/out.raw" || fail "junk in front changes the PCM"

printf 'not an mpeg file at all' > "$work/bad.mp3"
if "$cxdecode" "$work/bad.mp3" "$work/bad.wav" 2> "$work/err.txt"; then fail "bad file accepted"; fi
[ "$(wc -l < "$work/err.txt")" -eq 1 ] || fail "error is not one line"
if "$cxdecode" "$work/missing.mp3" "$work/x.wav" 2>/dev/null; then fail "missing file accepted"; fi
if "$cxdecode" 2>/dev/null; then fail "no arguments accepted"; fi
rm -rf "$work"
echo "cxdecode ok"
