# Times the fan-out in one run: one machine alone against three at once (each an sshd on loopback
# with its own Wine prefix), and what share of one machine's time the copy takes. Prints Markdown.
param([int] $Rounds = 3)
$ErrorActionPreference = 'Stop'
. $PSScriptRoot/Machines.ps1
Import-Module $env:MORVALETH_MODULE -Force
$machines = @(
    @{ Name = 'bench1'; Address = '127.0.0.11' }, @{ Name = 'bench2'; Address = '127.0.0.12' }, @{ Name = 'bench3'; Address = '127.0.0.13' }
) | ForEach-Object { New-TestMachine $_.Name -Fixture DotNet2 | Add-Member -NotePropertyName Address -NotePropertyValue $_.Address -PassThru }
$daemons = @($machines | ForEach-Object { Start-TestSshd $_ $_.Address })
$ssh = Get-TestSshParameters
$seconds = { param($block) (Measure-Command $block).TotalSeconds }
$median = { param($values) $sorted = @($values | Sort-Object); $sorted[[int][math]::Floor(($sorted.Count - 1) / 2)] }
try {
    # Warm-up: each machine's first PowerShell and Wine start.
    $null = Test-MorvalethReadiness -HostName ($machines | ForEach-Object Address) @ssh -Summary
    $alone = @(); $three = @(); $slowest = @()
    foreach ($round in 1..$Rounds) {
        $alone += & $seconds { $null = Test-MorvalethReadiness -HostName $machines[0].Address @ssh -Summary }
        $results = $null
        $three += & $seconds { $script:results = @(Test-MorvalethReadiness -HostName ($machines | ForEach-Object Address) @ssh -Summary) }
        $slowest += ($script:results | ForEach-Object { $_.Duration.TotalSeconds } | Measure-Object -Maximum).Maximum
    }

    # The copy alone against the whole machine, over one open session.
    $session = New-PSSession -HostName $machines[0].Address @ssh
    $files = [ordered]@{}
    foreach ($name in 'morvaleth-report.exe', 'Morvaleth.DLL') {
        $files[$name] = [IO.File]::ReadAllBytes((Join-Path $env:MORVALETH_MODULE "bin/x64/$name"))
    }
    $bytes = ($files.Values | Measure-Object -Property Length -Sum).Sum
    $copy = @(); $whole = @(); $written = @()
    foreach ($round in 1..$Rounds) {
        $copy += & $seconds {
            $null = Invoke-Command -Session $session -ArgumentList $files -ScriptBlock {
                param($Files)
                $folder = Join-Path ([IO.Path]::GetTempPath()) ('Morvaleth-' + [guid]::NewGuid().ToString('N'))
                [void][IO.Directory]::CreateDirectory($folder)
                foreach ($name in $Files.Keys) { [IO.File]::WriteAllBytes((Join-Path $folder $name), [byte[]]$Files[$name]) }
                [IO.Directory]::Delete($folder, $true)
            }
        }
        $one = $null
        $whole += & $seconds { $script:one = Test-MorvalethReadiness -Session $session -Summary }
        $written += $script:one.CopyDuration.TotalSeconds
    }
    Remove-PSSession $session

    $f = { param($value) '{0:N2} s' -f $value }
    "| Measure (median of $Rounds rounds, one run) | Time |"
    '|---|---|'
    "| One machine alone (-HostName, connection included) | $(& $f (& $median $alone)) |"
    "| Three machines at once (wall time) | $(& $f (& $median $three)) |"
    "| ... the slowest of the three (its own Duration) | $(& $f (& $median $slowest)) |"
    "| One machine over an open session (copy, report, clean-up) | $(& $f (& $median $whole)) |"
    "| ... the copy alone ($([math]::Round($bytes / 1MB, 2)) MiB sent and written, folder removed) | $(& $f (& $median $copy)) |"
    "| ... of which writing the files there | $(& $f (& $median $written)) |"
    "| The copy's share of a machine's time | $('{0:P0}' -f ((& $median $copy) / (& $median $whole))) |"
    "| Three at once against one alone | $('{0:N2}' -f ((& $median $three) / (& $median $alone)))x |"
} finally {
    $daemons | ForEach-Object { Stop-TestSshd $_ }
    $machines | ForEach-Object { Remove-TestMachine $_ }
}
