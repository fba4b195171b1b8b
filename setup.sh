#!/usr/bin/env bash
# Sets up a Debian machine for Ortelis, builds it, and then:
#   ./setup.sh demo [PROJECT]   runs the viewer on the demo collection (made on first use)
#   ./setup.sh test             runs every test
#   ./setup.sh build            only installs and builds
#   ./setup.sh fuzz [SECONDS]   builds the fuzz targets (clang, ASan, UBSan) in
#                               build-fuzz, replays their seeds and past
#                               findings, then runs each for SECONDS (30)
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
BUILD=${ORTELIS_BUILD_DIR:-$ROOT/build}
JOBS=${ORTELIS_JOBS:-$(nproc)}

PACKAGES=(
  cmake g++ make pkgconf
  qt6-base-dev qt6-image-formats-plugins libgl-dev
  libeigen3-dev libspectra-dev libfast-float-dev
  libopencv-features2d-dev libopencv-imgcodecs-dev libopencv-flann-dev
  libbenchmark-dev
  libopenmpi-dev openmpi-bin
  qt6-svg-dev
  libpng-dev libjpeg-dev
  clang libclang-rt-14-dev
  ccache
)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Rebuilds of unchanged sources, in this checkout or another one of the same
# tree, come from the compiler cache.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$ROOT} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi

build() {
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$BUILD" -j "$JOBS"
}

make_demo() {
  if [ ! -f "$ROOT/demo/project.xml" ]; then
    echo "Drawing and indexing the demo collection (first run only)..."
    "$BUILD/bin/ortelis-demo" "$ROOT/demo"
  fi
}

cmd=${1:-build}
install_packages
build
case "$cmd" in
  build) ;;
  test)
    cd "$BUILD"
    ctest --output-on-failure -j "$JOBS"
    ;;
  demo)
    project=${2:-}
    if [ -z "$project" ]; then
      make_demo
      project=$ROOT/demo/project.xml
    fi
    exec "$BUILD/bin/ortelis" "$project"
    ;;
  fuzz)
    export ORTELIS_FUZZ_BUILD_DIR=${ORTELIS_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}
    export ORTELIS_FUZZ_PARALLEL=${ORTELIS_FUZZ_PARALLEL:-$JOBS} ORTELIS_JOBS=$JOBS
    "$ROOT/tests/fuzz/run.sh" --build-only
    (cd "$ORTELIS_FUZZ_BUILD_DIR" && ctest --output-on-failure -L fuzz -j "$JOBS")
    "$ROOT/tests/fuzz/run.sh" "${2:-30}"
    ;;
  *) echo "usage: $0 [build|test|demo [PROJECT]|fuzz [SECONDS]]" >&2; exit 2 ;;
esac
