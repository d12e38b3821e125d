#!/usr/bin/env bash
# Installs exactly the Debian packages this project's build and tests need and the machine lacks.
# Quick and silent when everything is present; safe to run again.
set -eu

packages=(
  cmake g++ make                                     # host build tools and tests
  googletest libgtest-dev                            # host unit tests
  libzstd-dev                                        # the demo payload test measures how builds compress
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64     # the Windows build
  libzstd-dev pkgconf zstd                           # the packer's compression; CI checks a frame with zstd -d
  wine64 wine                                        # Windows programs and tests
  xdelta3                                            # the packer benchmark's yardstick
  util-linux                                         # flock (Wine prefix lock), setpriv (read-only test)
  python3                                            # the icon script, checked against the committed icon
  git                                                # the last commit's time, stamped into the installer
  osslsigncode openssl                               # signing the installer; the signing test's certificate
  clang libclang-rt-14-dev                           # libFuzzer targets
)
[ "${MORAVEL_SCREENSHOTS:-0}" = 1 ] && packages+=(xvfb imagemagick x11-utils)
# bench/run_all.sh: the plot, profiles, peak memory, and the i686 libraries of the xdelta3 comparison;
# bench/real_payload.sh and bench/nsis_compare.sh: the sound font, NSIS and zstd.
[ "${MORAVEL_BENCHMARKS:-0}" = 1 ] && packages+=(gnuplot-nox linux-perf time g++-mingw-w64-i686 fluid-soundfont-gm nsis zstd)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}"
SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
