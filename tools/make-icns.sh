#!/usr/bin/env bash
# Writes the macOS bundle icon packaging/macos/BrindleX.icns from the committed PNGs in resources/icons/ and the
# 1024-pixel one in packaging/macos/ (macOS alone uses that size, for Finder's largest previews: it is the
# 512-point image of a Retina screen).
# png2icns (Debian's icnsutils, Homebrew's libicns) stores the sizes an icns has a slot of its own for. Two images
# are added as PNG data, the form Apple's iconutil writes for these slots: the 64 px one in ic12, the slot macOS
# reads at 64 pixels (32 points on a Retina screen), which png2icns does not write, and the 1024 px one in ic10,
# which png2icns would store as JPEG 2000.
# The icns is committed, so builds need none of this. make-icons.sh runs it after drawing the PNGs.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PNG="$ROOT/resources/icons"
OUT="$ROOT/packaging/macos/BrindleX.icns"
command -v png2icns >/dev/null || { echo "make-icns: png2icns is missing (apt-get install icnsutils)" >&2; exit 1; }

png2icns "$OUT" "$PNG"/brindlex-{16,32,48,128,256,512}.png >/dev/null
# An icns is 'icns' and its total length, then chunks of a type, a length (header included) and the data.
python3 - "$OUT" "$PNG/brindlex-64.png" "$ROOT/packaging/macos/brindlex-1024.png" <<'PY'
import struct, sys
icns, png64, png1024 = sys.argv[1:]
chunks = open(icns, 'rb').read()[8:]
for kind, png in ((b'ic12', png64), (b'ic10', png1024)):
    data = open(png, 'rb').read()
    chunks += kind + struct.pack('>I', 8 + len(data)) + data
open(icns, 'wb').write(b'icns' + struct.pack('>I', 8 + len(chunks)) + chunks)
PY
echo "icon written to $OUT"
