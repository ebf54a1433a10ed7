#!/usr/bin/env bash
# Installs what is missing (Debian 12, apt-get), builds and then runs the
# program or the tests. Idempotent and incremental.
#   scripts/quorvel.sh run [program args]   build (Release) and start Quorvel
#   scripts/quorvel.sh test                 build and run every test (CTest)
#   scripts/quorvel.sh build                install and build only
#   scripts/quorvel.sh package              build the Debian package build/quorvel_*.deb
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${QUORVEL_BUILD_DIR:-$here/build}"
jobs=$(nproc 2>/dev/null || echo 2)

packages=(
  cmake make g++ pkg-config python3 ccache
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev libgl-dev
  libqcustomplot-dev libqcustomplot2.1-qt6 libsimpleini-dev libuemf-dev libqt6sql6-sqlite
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth fonts-dejavu-core
  desktop-file-utils appstream shared-mime-info dpkg-dev file
)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure() {
  # CMake's file API reply lists targets, sources and links for the layering check.
  mkdir -p "$build/.cmake/api/v1/query"
  touch "$build/.cmake/api/v1/query/codemodel-v2"
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  python3 "$here/scripts/check_layers.py" "$build"
}

build_all() {
  # Paths relative to the checkout, so that another clone (CI's) reuses the
  # compiler cache.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}"
  configure
  cmake --build "$build" -j "$jobs"
}

cmd="${1:-run}"
[ $# -gt 0 ] && shift
case "$cmd" in
  build)
    install_missing
    build_all
    ;;
  run)
    install_missing
    build_all
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
      echo "No display found: run this under a desktop session, or try: xvfb-run -a scripts/quorvel.sh run" >&2
      exit 1
    fi
    exec "$here/scripts/demo.sh" "$build" "$@"
    ;;
  test)
    install_missing
    build_all
    cd "$build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600
    ;;
  package)
    install_missing
    configure
    cmake --build "$build" -j "$jobs" --target quorvel_installed
    # Installs into a scratch tree under /usr and packs it; dpkg-shlibdeps
    # names the libraries the programs need.
    (cd "$build" && cpack -G DEB)
    ls "$build"/quorvel_*.deb
    ;;
  *)
    echo "usage: $0 run|test|build|package" >&2
    exit 2
    ;;
esac
