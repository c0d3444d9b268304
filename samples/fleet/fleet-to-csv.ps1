<#
.SYNOPSIS
Plain Invoke-Command fan-out: runs the installed report on each machine and writes one CSV row per
check and machine. Needs only Morvaleth installed on the targets, not the module on this machine.

.EXAMPLE
.\fleet-to-csv.ps1 -ComputerName (Get-Content servers.txt) -Require HasDotNetFramework2 -Path readiness.csv
#>
[CmdletBinding(DefaultParameterSetName = 'ComputerName')]
param(
    [Parameter(Mandatory, ParameterSetName = 'ComputerName')] [string[]] $ComputerName,
    [Parameter(Mandatory, ParameterSetName = 'Session')] [System.Management.Automation.Runspaces.PSSession[]] $Session,
    [string[]] $Require = @(),
    [Parameter(Mandatory)] [string] $Path,
    # Where the installer put the 64-bit report, as the target sees it.
    [string] $ReportPath = 'C:\Program Files\Morvaleth\bin\x64\morvaleth-report.exe'
)
$arguments = @('--format', 'evidence') + @($Require | ForEach-Object { '--require', $_ })
$target = if ($Session) { @{ Session = $Session } } else { @{ ComputerName = $ComputerName } }
# Each target returns its evidence document and the report's exit status; PSComputerName tags it.
$answers = Invoke-Command @target -ErrorAction Continue -ErrorVariable failed -ScriptBlock {
    param($Report, $Arguments)
    $text = (& $Report @Arguments 2>$null) -join "`n"
    [pscustomobject]@{ Evidence = $text; ExitStatus = $LASTEXITCODE }
} -ArgumentList $ReportPath, $arguments
$rows = foreach ($answer in $answers) {
    try { $evidence = $answer.Evidence | ConvertFrom-Json } catch { $evidence = $null }
    if ($null -eq $evidence) {
        [pscustomobject]@{ ComputerName = $answer.PSComputerName; Check = ''; Answer = ''; State = 'undetermined'
            Outcome = ''; Reason = "the report exited with status $($answer.ExitStatus) and printed no evidence" }
        continue
    }
    foreach ($check in $evidence.checks) {
        $requirement = $evidence.requirements | Where-Object check -eq $check.name | Select-Object -First 1
        [pscustomobject]@{ ComputerName = $answer.PSComputerName; Check = $check.name; Answer = $check.answer
            State = $check.state; Outcome = $(if ($requirement) { $requirement.outcome } else { '' }); Reason = $check.reason }
    }
}
# Machines that could not be reached get a row too: nothing is dropped.
$rows = @($rows) + @($failed | ForEach-Object {
        [pscustomobject]@{ ComputerName = $_.TargetObject; Check = ''; Answer = ''; State = 'undetermined'
            Outcome = ''; Reason = $_.Exception.Message } })
$rows | Export-Csv -LiteralPath $Path -NoTypeInformation -Encoding UTF8
