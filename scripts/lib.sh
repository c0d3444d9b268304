# shellcheck shell=bash
# What the scripts and the shell tests share; sourced, never run.
#   source "$(dirname "$0")/lib.sh"      (from scripts/)
morvaleth_top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Wine's loaders: in a 64-bit prefix plain `wine` starts the 32-bit programs of SysWOW64.
wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64

# The build root: $MORVALETH_BUILD or <source>/build, absolute.
morvaleth_build_root() { realpath -m "${MORVALETH_BUILD:-$morvaleth_top/build}"; }

# A Unix path as Wine sees it on drive Z:, which maps the Linux root in every prefix (winepath
# would start the 32-bit loader).
windows_path() { local path; path="$(realpath -ms "$1")"; printf 'Z:%s\n' "${path//\//\\}"; }

# Whether this host starts Wine's 32-bit loader: a kernel without IA-32 emulation refuses it.
runs_32bit() { "$wine32_loader" --version >/dev/null 2>&1; }

# Stops the Wine server of a prefix, if the prefix exists; a server left running keeps its state.
stop_wineserver() { [ ! -d "$1" ] || WINEPREFIX="$1" wineserver -k 2>/dev/null || true; }
