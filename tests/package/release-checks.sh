# Sourced by the release tests: the check counter, the archive, the registration's keys and the
# script host's answers. registration and script_answers need scripts/lib.sh, $top and WINEPREFIX.
passed=0; failed=0
check() {  # description, command...: counts, and fails as the command fails
    local what="$1"; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what"; return 1; fi
}
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }

unzip_to() {  # archive, folder
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$1" "$2"
}

# The registration's keys as reg prints them, in the views named (both by default).
registration_roots=('Morvaleth.Validate.7' 'Morvaleth.Validate' 'CLSID\{E3541FCC-DCF0-4045-898B-2795D6CD0E87}'
                    'Interface\{A1BAB43A-0951-4A61-8416-A50590D6683A}' 'Typelib\{23DE8B21-CC1D-448D-B825-2C4D4DB8F325}')
registration() {  # [views]
    local view key
    for view in ${1:-32 64}; do for key in "${registration_roots[@]}"; do
        echo "== $view $key"
        timeout --kill-after=10 300 "$wine64_loader" reg query "HKCR\\$key" /s /reg:$view 2>&1 | tr -d '\r' | grep -v '^$'
    done; done
}
no_registration() { ! registration | grep -q '^HKEY'; }

# All 26 checks by name through both ProgIDs (tests/clients/check_all.vbs). Wine's cscript prints
# nothing when a script fails, so the printed lines are what counts.
stage_check_script() {
    mkdir -p "$WINEPREFIX/drive_c/morvaleth-tests" &&
        cp "$top/tests/clients/check_all.vbs" "$WINEPREFIX/drive_c/morvaleth-tests/"
}
script_answers() {  # command that runs the script host (loader, cscript)
    local output
    output="$("$@" //nologo 'C:\morvaleth-tests\check_all.vbs')"
    grep -qE '^[1-9][0-9]* passed, 0 failed$' <<<"$output" &&
        [ "$(grep '^answer ' <<<"$output" | awk '{print $2}' | sort -u | wc -l)" -eq 26 ] ||
        { echo "$output" | tail -5; return 1; }
}
