#!/usr/bin/env bash
# Pictures of the window for review: starts a virtual display (Xvfb) of 1280 x 800 pixels and
# writes PNGs to build/screenshots/: every tab idle and during a run, the Convert page after the
# run, the Settings page with a refused number, the Options page in files mode, the results box
# of a 200-file report and the About box. Needs the packages xvfb and xauth (scripts/setup.sh
# installs them) and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target tarnwell_screenshots
rm -rf build/screenshots
mkdir -p build/screenshots
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  ./build/tarnwell_screenshots build/screenshots "$PWD/samples"
ls -l build/screenshots
