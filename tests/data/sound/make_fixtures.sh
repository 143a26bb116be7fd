#!/bin/bash
# Makes the compressed sound fixtures and sox's own decode of each. Run once
# by hand (needs sox); the results are committed. Each source is a short
# chord with a sweep, so every decoder sees changing signal.
set -euo pipefail
cd "$(dirname "$0")"
sox -n -r 11025 -c 1 -b 16 source-mono.wav synth 0.3 sine 300-2000 sine 440 remix - gain -3
sox -n -r 11025 -c 2 -b 16 source-stereo.wav synth 0.3 sine 300-2000 sine 660-220 gain -3
sox -n -r 22050 -c 1 -b 16 source-22k.wav synth 0.5 sine 300-2000 sine 440 remix - gain -3
sox source-mono.wav -e ima-adpcm ima-mono.wav
sox source-stereo.wav -e ima-adpcm ima-stereo.wav
sox source-mono.wav -e ms-adpcm ms-mono.wav
sox source-stereo.wav -e ms-adpcm ms-stereo.wav
sox source-mono.wav -e a-law alaw.wav
sox source-mono.wav -e u-law ulaw.wav
sox source-mono.wav -r 8000 -e gsm-full-rate gsm.wav
sox source-22k.wav -C 32 layer3.mp3
sox source-22k.wav -C 32 layer2.mp2
sox source-stereo.wav -C 0 stereo.ogg
sox -n -r 44100 -c 2 -b 16 source-44k.wav synth 0.7 sine 200-3000 sine 500 gain -3
sox source-44k.wav -C 0 stream44.ogg
for f in ima-mono ima-stereo ms-mono ms-stereo alaw ulaw gsm; do
    sox "$f.wav" -e signed-integer -b 16 "$f.sox.wav"
done
sox layer3.mp3 -e signed-integer -b 16 layer3.sox.wav
sox layer2.mp2 -e signed-integer -b 16 layer2.sox.wav
sox stereo.ogg -e signed-integer -b 16 stereo.sox.wav
sox stream44.ogg -e signed-integer -b 16 stream44.sox.wav
rm source-mono.wav source-stereo.wav source-22k.wav source-44k.wav
