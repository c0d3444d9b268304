# Configuration Manager configuration item, script setting (data type String, 64-bit host):
# prints "compliant" or "non-compliant"; the compliance rule is: equals "compliant".
# A machine whose requirements cannot be judged is neither: the reason goes to standard error and
# the script exits 1, which Configuration Manager reports as an evaluation error.
param([string[]] $Require = @('HasDotNetFramework2', 'IsRebootPending=0'))
$ErrorActionPreference = 'Stop'
$installed = if ($env:ProgramW6432) { Join-Path $env:ProgramW6432 'WindowsPowerShell\Modules\Morvaleth' }
if ($installed -and (Test-Path -LiteralPath $installed)) { Import-Module $installed } else { Import-Module Morvaleth }

$machine = Test-MorvalethReadiness -Require $Require -Summary -ErrorAction SilentlyContinue
switch ($machine.Verdict) {
    'pass' { Write-Output 'compliant' }
    'fail' { Write-Output 'non-compliant' }
    default {
        $why = @($machine.Results | Where-Object Outcome -eq 'undetermined' | ForEach-Object Reason) -join '; '
        [Console]::Error.WriteLine("undetermined: $(if ($why) { $why } else { $machine.Error })")
        exit 1
    }
}
