#!/bin/sh
# cxdecode on FLAC files made here with sox and the reference encoder: raw
# output equals the reference decoder's byte for byte at 8, 16 and 24 bits,
# WAV output is a header of the file's depth followed by the same bytes,
# --info reports the format, the length, the tags and the MD5 result, an
# altered MD5 or a file that is not FLAC ends with a message on standard
# error and a non-zero exit status.
set -eu
cxdecode=$1
work=flac-cxdecode-test
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

for shape in "8 22050 1" "16 44100 2" "24 96000 2"; do
  set -- $shape
  bits=$1 rate=$2 ch=$3
  name=$work/t$bits
  sox -D -r "$rate" -c "$ch" -n -b "$bits" "$name.wav" synth 1.5 sine 220 pinknoise vol 0.6
  flac -s -f -5 -T TITLE="Über $bits" -T ARTIST=Someone -T ALBUM=Tests "$name.wav" -o "$name.flac"
  sign=signed
  [ "$bits" = 8 ] && sign=unsigned  # WAV's convention, which --raw keeps
  flac -s -f -d --force-raw-format --endian=little --sign=$sign "$name.flac" -o "$name.ref.raw"
  "$cxdecode" --raw "$name.flac" "$name.raw" || fail "$bits-bit raw decode"
  cmp -s "$name.raw" "$name.ref.raw" || fail "$bits-bit raw output differs from the reference decoder"
  "$cxdecode" --raw "$name.flac" - > "$name.stdout.raw" || fail "$bits-bit decode to stdout"
  cmp -s "$name.raw" "$name.stdout.raw" || fail "$bits-bit stdout differs from file output"
  "$cxdecode" "$name.flac" "$name.out.wav" || fail "$bits-bit WAV decode"
  raw_size=$(wc -c < "$name.raw")
  header=44
  [ "$bits" -gt 16 ] && header=68  # WAVE_FORMAT_EXTENSIBLE
  [ "$(wc -c < "$name.out.wav")" -eq $((raw_size + header)) ] || fail "$bits-bit WAV is not header + PCM"
  tail -c "$raw_size" "$name.out.wav" | cmp -s - "$name.raw" || fail "$bits-bit WAV data differs from raw"
  [ "$(soxi -b "$name.out.wav")" = "$bits" ] || fail "$bits-bit WAV depth is $(soxi -b "$name.out.wav")"
  [ "$(soxi -r "$name.out.wav")" = "$rate" ] || fail "$bits-bit WAV rate"

  "$cxdecode" --info "$name.flac" > "$name.info" || fail "$bits-bit --info"
  samples=$(soxi -s "$name.wav")
  grep -q "^FLAC, $bits-bit, $ch channel" "$name.info" || fail "info line: $(cat "$name.info")"
  grep -q "^samples $samples," "$name.info" || fail "info samples: $(cat "$name.info")"
  grep -q "^title: Über $bits\$" "$name.info" || fail "info title: $(cat "$name.info")"
  grep -q "^artist: Someone\$" "$name.info" || fail "info artist"
  grep -q "^album: Tests\$" "$name.info" || fail "info album"
  grep -q "^MD5: match\$" "$name.info" || fail "info MD5: $(cat "$name.info")"
done

# An ID3v2 tag before the marker, and a file named otherwise.
{ printf 'ID3\003\000\000\000\000\000\040'; head -c 32 /dev/zero; cat "$work/t16.flac"; } > "$work/tagged.audio"
"$cxdecode" --raw "$work/tagged.audio" "$work/tagged.raw" || fail "ID3v2-tagged decode"
cmp -s "$work/tagged.raw" "$work/t16.ref.raw" || fail "ID3v2-tagged output differs"

# One byte of STREAMINFO's MD5 changed: same samples, a mismatch reported.
python3 -c "
import sys
d = bytearray(open(sys.argv[1], 'rb').read()); d[8 + 18 + 3] ^= 1
open(sys.argv[2], 'wb').write(d)" "$work/t16.flac" "$work/badmd5.flac"
if "$cxdecode" --raw "$work/badmd5.flac" "$work/badmd5.raw" 2> "$work/err.txt"; then fail "MD5 mismatch accepted"; fi
grep -q "MD5" "$work/err.txt" || fail "no MD5 message: $(cat "$work/err.txt")"
cmp -s "$work/badmd5.raw" "$work/t16.ref.raw" || fail "samples differ with an altered MD5"
if "$cxdecode" --info "$work/badmd5.flac" > "$work/bad.info" 2>/dev/null; then fail "--info accepted a mismatch"; fi
grep -q "^MD5: MISMATCH\$" "$work/bad.info" || fail "--info mismatch line"

# Not decodable: the marker and nothing usable, or only the name.
printf 'fLaC\200\000\000\042garbage' > "$work/bad.flac"
if "$cxdecode" "$work/bad.flac" "$work/bad.wav" 2> "$work/err.txt"; then fail "bad file accepted"; fi
[ "$(wc -l < "$work/err.txt")" -eq 1 ] || fail "error is not one line"
printf 'not a flac file at all' > "$work/name.flac"
if "$cxdecode" --raw "$work/name.flac" "$work/name.raw" 2>/dev/null; then fail "file named .flac accepted"; fi
rm -rf "$work"
echo "cxdecode flac ok"
