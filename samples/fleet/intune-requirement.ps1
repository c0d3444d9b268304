# Intune Win32 app requirement script: prints one value, the machine's verdict.
# Requirement rule: output data type String, operator Equals, value "pass".
# Intune uploads this file alone; Morvaleth's installer must have run on the device first.
param([string[]] $Require = @('HasDotNetFramework2', 'IsRebootPending=0'))
$ErrorActionPreference = 'Stop'
$installed = if ($env:ProgramW6432) { Join-Path $env:ProgramW6432 'WindowsPowerShell\Modules\Morvaleth' }
if ($installed -and (Test-Path -LiteralPath $installed)) { Import-Module $installed } else { Import-Module Morvaleth }

$machine = Test-MorvalethReadiness -Require $Require -Summary -ErrorAction SilentlyContinue
# pass, fail or undetermined: only "pass" meets the rule.
Write-Output $(if ($machine) { $machine.Verdict } else { 'undetermined' })
