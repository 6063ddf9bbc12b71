#!/usr/bin/env bash
# Writes the macOS bundle icon packaging/macos/BrindleX.icns from the committed PNGs in resources/icons/.
# png2icns (Debian's icnsutils, Homebrew's libicns) stores the sizes an icns has a slot of its own for; the 64 px
# image goes in the slot macOS reads at 64 pixels (32 points on a Retina screen), which png2icns does not write.
# The icns is committed, so builds need none of this. make-icons.sh runs it after drawing the PNGs.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PNG="$ROOT/resources/icons"
OUT="$ROOT/packaging/macos/BrindleX.icns"
command -v png2icns >/dev/null || { echo "make-icns: png2icns is missing (apt-get install icnsutils)" >&2; exit 1; }

png2icns "$OUT" "$PNG"/brindlex-{16,32,48,128,256,512}.png >/dev/null
# An icns is 'icns' and its total length, then chunks of a type, a length (header included) and the data.
python3 - "$OUT" "$PNG/brindlex-64.png" <<'PY'
import struct, sys
icns, png = sys.argv[1], sys.argv[2]
chunks = open(icns, 'rb').read()[8:]
extra = open(png, 'rb').read()
chunks += b'ic12' + struct.pack('>I', 8 + len(extra)) + extra
open(icns, 'wb').write(b'icns' + struct.pack('>I', 8 + len(chunks)) + chunks)
PY
echo "icon written to $OUT"
