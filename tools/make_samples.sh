#!/usr/bin/env bash
# Regenerates tests/data/: the tone samples the player tests and the benchmark serve (needs gst-launch-1.0
# from gstreamer1.0-tools). Each holds a few seconds of one sine tone; the server loops it.
set -euo pipefail
cd "$(dirname "$0")/../tests/data"
tone() { echo "audiotestsrc wave=sine freq=$1 volume=0.5 num-buffers=$(( $2 * 44100 / 1024 )) samplesperbuffer=1024 ! audio/x-raw,rate=44100,channels=1"; }
gst-launch-1.0 -q $(tone 440 3) ! lamemp3enc target=bitrate bitrate=128 cbr=true ! filesink location=tone440.mp3
gst-launch-1.0 -q $(tone 660 3) ! lamemp3enc target=bitrate bitrate=128 cbr=true ! filesink location=tone660.mp3
gst-launch-1.0 -q $(tone 440 3) ! vorbisenc ! oggmux ! filesink location=tone440.ogg
gst-launch-1.0 -q $(tone 440 3) ! audioresample ! audio/x-raw,rate=48000 ! opusenc ! oggmux ! filesink location=tone440.opus
gst-launch-1.0 -q $(tone 440 3) ! avenc_aac ! aacparse ! audio/mpeg,stream-format=adts ! filesink location=tone440.aac
# Windows Media players wait for the 3.1 s pre-roll the muxer writes, so this one is longer.
gst-launch-1.0 -q $(tone 440 8) ! avenc_wmav2 bitrate=32000 ! avmux_asf ! filesink location=tone440.wma
# Three 2 s MPEG-TS segments of AAC for an HLS list (the test writes the list itself).
gst-launch-1.0 -q $(tone 440 6) ! avenc_aac ! aacparse ! hlssink2 target-duration=2 max-files=0 \
  location=tone440-%d.ts playlist-location=hls.m3u8 && rm hls.m3u8
