#!/usr/bin/env bash
# Pictures of the window for review: starts a virtual display (Xvfb), opens the window on each
# of its tabs and the About box, and writes PNGs to build/screenshots/. Needs the packages xvfb
# and xauth (scripts/setup.sh installs them) and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target tarnwell_screenshots
mkdir -p build/screenshots
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  ./build/tarnwell_screenshots build/screenshots "$PWD/samples"
ls -l build/screenshots
