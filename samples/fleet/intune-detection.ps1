# Intune Remediations detection script: exit 1 when a requirement is unmet (the remediation then
# runs), else exit 0. Prints one line of at most 2048 characters, which Intune keeps as the
# device's output. A requirement that cannot be judged is not unmet: the line says UNDETERMINED.
param([string[]] $Require = @('HasDotNetFramework2', 'IsRebootPending=0'))
$ErrorActionPreference = 'Stop'
$limit = 2048
try {
    $installed = if ($env:ProgramW6432) { Join-Path $env:ProgramW6432 'WindowsPowerShell\Modules\Morvaleth' }
    if ($installed -and (Test-Path -LiteralPath $installed)) { Import-Module $installed } else { Import-Module Morvaleth }
    $machine = Test-MorvalethReadiness -Require $Require -Summary -ErrorAction SilentlyContinue
    $required = @($machine.Results | Where-Object Outcome)
    $unmet = @($required | Where-Object Outcome -eq 'unmet')
    $unknown = @($required | Where-Object Outcome -eq 'undetermined')
    $words = { param($results) ($results | ForEach-Object { "$($_.Requirement) ($($_.Reason))" }) -join '; ' }
    if ($unmet.Count -gt 0) {
        $line = "NOT READY: $($unmet.Count) of $($required.Count) requirements unmet: $(& $words $unmet)"
        $status = 1
    } elseif ($unknown.Count -gt 0 -or $machine.Verdict -ne 'pass') {
        $why = if ($unknown.Count -gt 0) { & $words $unknown } else { $machine.Error }
        $line = "UNDETERMINED: $why"
        $status = 0
    } else {
        $line = "READY: $($required.Count) of $($required.Count) requirements met"
        $status = 0
    }
} catch {
    $line = "UNDETERMINED: $($_.Exception.Message)"
    $status = 0
}
$line = $line -replace '[\r\n]+', ' '
if ($line.Length -gt $limit) { $line = $line.Substring(0, $limit - 3) + '...' }
Write-Output $line
exit $status
