#!/usr/bin/env bash
# Makes the transport stream the sample provider serves behind every stream URL
# (nivotv-provider --stream-file): ten seconds of a moving test picture with a running time
# counter and a 440 Hz tone, MPEG-2 video and MPEG-1 layer II audio in an MPEG transport
# stream, from Debian's ffmpeg. Does nothing when the file is there already.
#
#   bash scripts/make-test-stream.sh OUTPUT.ts
set -euo pipefail

out="${1:?usage: make-test-stream.sh OUTPUT.ts}"
if [ -s "$out" ]; then
  exit 0
fi
if ! command -v ffmpeg >/dev/null 2>&1; then
  echo "make-test-stream: ffmpeg is not installed (bash scripts/install-kodi.sh brings it)" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
part="$out.part.$$"
trap 'rm -f "$part"' EXIT
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i testsrc=size=640x360:rate=25 \
  -f lavfi -i sine=frequency=440:sample_rate=48000 \
  -t 10 -c:v mpeg2video -b:v 1500k -g 25 -c:a mp2 -b:a 128k -f mpegts "$part"
mv "$part" "$out"
