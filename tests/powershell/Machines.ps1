# Test "machines" on this host: each a copy of the prepared 64-bit Wine prefix with its own
# registry fixtures and temporary folder, reached locally or through its own sshd on loopback.
$script:Work = $env:MORVALETH_WORK
$script:Wine64 = '/usr/lib/wine/wine64'

# Registry fixtures as .reg lines, by the state they give a machine.
$script:Fixtures = @{
    DotNet2          = @('[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\NET Framework Setup\NDP\v2.0.50727]', '"Install"=dword:00000001')
    # A text where the check reads a number: the answer cannot be determined.
    DotNet3WrongType = @('[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\NET Framework Setup\NDP\v3.0\Setup]', '"InstallSuccess"="1"')
    RebootPending    = @('[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Updates\UpdateExeVolatile]', '"Flags"=dword:00000001')
}

function New-TestMachine {
    # A fresh prefix and temporary folder named after the machine, with the fixtures imported.
    param([string] $Name, [string[]] $Fixture = @())
    $machine = [pscustomobject]@{
        Name = $Name; Prefix = Join-Path $script:Work "machine-$Name"; Temp = Join-Path $script:Work "temp-$Name"
    }
    Remove-TestMachine $machine
    & cp -a $env:MORVALETH_WINE_BASE $machine.Prefix
    if ($LASTEXITCODE -ne 0) { throw "cannot copy the prepared prefix to $($machine.Prefix)" }
    New-Item -ItemType Directory -Path $machine.Temp | Out-Null
    if ($Fixture.Count -gt 0) {
        $lines = @('REGEDIT4', '') + @($Fixture | ForEach-Object { $script:Fixtures[$_] + '' })
        $reg = "$($machine.Prefix).reg"
        Set-Content -LiteralPath $reg -Value $lines -Encoding ascii
        & env "WINEPREFIX=$($machine.Prefix)" $script:Wine64 reg import ('Z:' + ($reg -replace '/', '\')) 2>&1 | Out-Null
        & env "WINEPREFIX=$($machine.Prefix)" wineserver -w
        Remove-Item -LiteralPath $reg
    }
    $machine
}

function Remove-TestMachine {
    param($Machine)
    if (Test-Path $Machine.Prefix) {
        & env "WINEPREFIX=$($Machine.Prefix)" wineserver -k 2>$null
        Remove-Item -LiteralPath $Machine.Prefix -Recurse -Force
    }
    if (Test-Path $Machine.Temp) { Remove-Item -LiteralPath $Machine.Temp -Recurse -Force }
}

function Get-TestClientKey {
    $folder = Join-Path $script:Work 'ssh'
    $key = Join-Path $folder 'client'
    if (-not (Test-Path $key)) {
        New-Item -ItemType Directory -Force -Path $folder | Out-Null
        & ssh-keygen -q -t ed25519 -N '' -f $key
    }
    $key
}

# How the tests reach the sshd machines: the test's key, and no known_hosts file to keep.
function Get-TestSshParameters {
    @{ UserName = [Environment]::UserName; KeyFilePath = (Get-TestClientKey)
        Options = @{ StrictHostKeyChecking = 'no'; UserKnownHostsFile = '/dev/null'; LogLevel = 'ERROR' } }
}

function Start-TestSshd {
    # An sshd on ADDRESS:22 whose PowerShell subsystem runs in the machine's prefix and temp folder.
    param($Machine, [string] $Address)
    $folder = Join-Path $script:Work "sshd-$($Machine.Name)"
    if (Test-Path $folder) { Remove-Item -LiteralPath $folder -Recurse -Force }
    New-Item -ItemType Directory -Path $folder | Out-Null
    & ssh-keygen -q -t ed25519 -N '' -f (Join-Path $folder 'hostkey')
    Copy-Item "$(Get-TestClientKey).pub" (Join-Path $folder 'authorized_keys')
    $pidFile = Join-Path $folder 'sshd.pid'
    $config = Join-Path $folder 'sshd_config'
    Set-Content -LiteralPath $config -Value @(
        "ListenAddress ${Address}:22"
        "HostKey $folder/hostkey"
        "PidFile $pidFile"
        "AuthorizedKeysFile $folder/authorized_keys"
        'UsePAM no'
        'StrictModes no'
        'PasswordAuthentication no'
        'PermitRootLogin prohibit-password'
        "Subsystem powershell $($env:MORVALETH_PWSH) -sshs -NoLogo -NoProfile"
        "SetEnv WINEPREFIX=$($Machine.Prefix) TMPDIR=$($Machine.Temp) WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml="
    )
    New-Item -ItemType Directory -Force -Path /run/sshd | Out-Null
    & /usr/sbin/sshd -f $config -E (Join-Path $folder 'log')
    if ($LASTEXITCODE -ne 0) { throw "sshd for $Address did not start: $(Get-Content (Join-Path $folder 'log') -Raw)" }
    foreach ($i in 1..100) { if (Test-Path $pidFile) { break }; Start-Sleep -Milliseconds 100 }
    if (-not (Test-Path $pidFile)) { throw "sshd for $Address did not start: $(Get-Content (Join-Path $folder 'log') -Raw)" }
    [pscustomobject]@{ Address = $Address; Pid = [int](Get-Content $pidFile); Folder = $folder }
}

function Stop-TestSshd {
    param($Sshd)
    if ($null -ne $Sshd) { Stop-Process -Id $Sshd.Pid -ErrorAction SilentlyContinue }
}

# Folders the report left in a temporary folder.
function Get-LeftFolder { param([string] $Temp) @(Get-ChildItem -LiteralPath $Temp -Filter 'Morvaleth-*' -Force) }
