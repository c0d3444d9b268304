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

# The PowerShell module as it ships: its source files and, under bin/x86 and bin/x64, the report
# and DLL of each bitness (a bitness whose folder lacks them is left out).
#   stage_module DEST X86_BIN X64_BIN
stage_module() {
    local dest="$1" arch from
    rm -rf "$dest" && mkdir -p "$dest"
    cp "$morvaleth_top"/powershell/Morvaleth/* "$dest/"
    for arch in x86 x64; do
        if [ "$arch" = x86 ]; then from="$2"; else from="$3"; fi
        [ -f "$from/morvaleth-report.exe" ] && [ -f "$from/Morvaleth.DLL" ] || continue
        mkdir -p "$dest/bin/$arch"
        cp "$from/morvaleth-report.exe" "$from/Morvaleth.DLL" "$dest/bin/$arch/"
    done
}

# PowerShell 7 as scripts/setup installs it.
pwsh_program() { if [ -x "$HOME/.dotnet/tools/pwsh" ]; then echo "$HOME/.dotnet/tools/pwsh"; else command -v pwsh; fi; }
