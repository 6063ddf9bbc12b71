#!/usr/bin/env bash
# The macOS bundle's own files, checked on any system: the Info.plist the build configured, read with plistlib,
# and the icon it names, parsed as an icns container that must hold every size the PNGs come in, 1024 pixels
# (ic10, macOS's largest) among them.
# Usage: macos_bundle.sh BUILD_DIR. Exits non-zero on any failure.
set -euo pipefail
python3 - "${1:?usage: macos_bundle.sh BUILD_DIR}" "$(dirname "${BASH_SOURCE[0]}")/../.." <<'PY'
import glob, os, plistlib, re, struct, sys

build, root = sys.argv[1:]
failures = []
def check(ok, what): ok or failures.append(what)

# --- Info.plist: the keys macOS reads to start the bundle (a pattern where only the form is fixed) -----------
info = plistlib.loads(open(os.path.join(build, 'Info.plist'), 'rb').read())   # a build folder not configured fails here
# Off a Mac no QtCore can be read, so the bundle's minimum is the deployment target when set higher, else 14.0
# (on a Mac it follows QtCore, which tests/macos checks).
target = re.search(r'^CMAKE_OSX_DEPLOYMENT_TARGET:\w+=(.+)$', open(os.path.join(build, 'CMakeCache.txt')).read(), re.M)
minimum = max(['14.0'] + ([target.group(1)] if target else []), key=lambda v: tuple(map(int, v.split('.'))))
version = re.compile(r'\d+(\.\d+)*')
expected = {
    'CFBundleExecutable': 'BrindleX', 'CFBundleIdentifier': 'org.brindlex.BrindleX',
    'CFBundleIconFile': 'BrindleX.icns', 'CFBundleInfoDictionaryVersion': '6.0', 'CFBundlePackageType': 'APPL',
    'LSMinimumSystemVersion': version if sys.platform == 'darwin' else minimum, 'NSHighResolutionCapable': True,
    'CFBundleShortVersionString': version, 'CFBundleVersion': version,
    'NSAppleEventsUsageDescription': re.compile(r'(?s).*\S.*'),
}
for key, want in expected.items():
    got = info.get(key)
    check(want.fullmatch(got) if isinstance(want, re.Pattern) and isinstance(got, str) else got == want,
          f'Info.plist: {key} is {got!r}')

# --- the icon: 'icns', the file's length, then chunks of a type, a length (header included) and the data ------
SIZES = {b'is32': 16, b's8mk': 16, b'icp4': 16, b'il32': 32, b'l8mk': 32, b'icp5': 32, b'ic11': 32,
         b'ih32': 48, b'h8mk': 48, b'icp6': 64, b'ic12': 64, b'it32': 128, b't8mk': 128, b'ic07': 128,
         b'ic08': 256, b'ic13': 256, b'ic09': 512, b'ic14': 512, b'ic10': 1024}
MASKS = {b'is32': b's8mk', b'il32': b'l8mk', b'ih32': b'h8mk', b'it32': b't8mk'}
def pixels(data):   # width of a PNG or JPEG 2000 image, None for the older run-length formats
    if data.startswith(b'\x89PNG'): return struct.unpack('>I', data[16:20])[0]
    at = data.find(b'ihdr') if data[4:8] == b'jP  ' else -1
    return struct.unpack('>I', data[at + 8:at + 12])[0] if at >= 0 else None

icns = open(os.path.join(root, 'packaging', 'macos', 'BrindleX.icns'), 'rb').read()
check(icns[:4] == b'icns' and struct.unpack('>I', icns[4:8])[0] == len(icns), 'BrindleX.icns: not an icns file')
kinds, at = [], 8
while at + 8 <= len(icns) and (length := struct.unpack('>I', icns[at + 4:at + 8])[0]) >= 8:
    kinds.append(icns[at:at + 4])
    size = pixels(icns[at + 8:at + length])
    check(size in (None, SIZES.get(kinds[-1])), f'BrindleX.icns: {kinds[-1].decode()} holds a {size} px image')
    at += length
check(at == len(icns), 'BrindleX.icns: the chunks do not fill the file')
check(all(MASKS[k] in kinds for k in kinds if k in MASKS), f'BrindleX.icns: mask missing: {b" ".join(kinds).decode()}')
sizes = sorted({SIZES[k] for k in kinds if k in SIZES})
pngs = sorted(int(re.search(r'-(\d+)\.png$', p).group(1))
              for p in glob.glob(os.path.join(root, 'resources', 'icons', 'brindlex-*.png')) +
                       [os.path.join(root, 'packaging', 'macos', 'brindlex-1024.png')])
# The PNGs include the 1024 px one, which only ic10 holds.
check(sizes == pngs, f'BrindleX.icns holds {sizes} px, the PNGs {pngs}')

if failures: sys.exit('\n'.join('macos_bundle: FAILED: ' + f for f in failures))
print(f"macos_bundle: Info.plist keys in place; BrindleX.icns holds {', '.join(map(str, sizes))} px")
PY
