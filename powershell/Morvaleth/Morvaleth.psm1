# Morvaleth: readiness of one machine or many, through PowerShell remoting. Runs on Windows
# PowerShell 5.1 and PowerShell 7: nothing newer than 5.1 is used outside the SSH parameters.
Set-StrictMode -Version 2.0

# The 26 checks in the interface's order; the text checks answer a string, the others a flag.
$script:TextChecks = @('GetVersion', 'GetServicePack', 'GetSCEPath', 'GetSCEType', 'GetSCEVersion',
    'GetMSMP_x64Version', 'GetAgent_x64Version', 'GetASC_x64Version')
$script:CheckNames = @('GetVersion', 'HasDotNetFramework2', 'HasDotNetFramework3', 'HasMDAC28', 'HasIIS',
    'HasBITS', 'IsValidServer', 'IsValidConsole', 'GetServicePack', 'HasMaxPhyMem', 'IsWindowsDriveNTFS',
    'HasDiskSpace', 'NoSUS', 'HasMinPhyMem', 'IsRebootPending', 'IsAdmin', 'HasASPNET20', 'IsValidAgent',
    'ConsoleHasMinPhyMem', 'ConsoleHasMaxPhyMem', 'GetSCEPath', 'GetSCEType', 'GetSCEVersion',
    'GetMSMP_x64Version', 'GetAgent_x64Version', 'GetASC_x64Version')
$script:ReportFiles = @('morvaleth-report.exe', 'Morvaleth.DLL')
$script:BinFolders = @{ 32 = 'x86'; 64 = 'x64' }

# Runs on the target (or here, for the local machine): writes the report and its DLL into a fresh
# temporary folder, runs the report, and removes the folder on every path. This is the one place
# that decides how the report program starts.
$script:ReportScript = {
    param([System.Collections.IDictionary] $Files, [string[]] $Arguments, [int] $Bits)
    $ErrorActionPreference = 'Stop'
    $answer = [ordered]@{
        ComputerName = [Environment]::MachineName; Failed = $null; Error = $null; ExitCode = $null
        Output = $null; ErrorOutput = $null; Folder = $null; FolderLeft = $false
        CopySeconds = 0.0; ReportSeconds = 0.0
    }
    # Windows' rules for one argument of a command line.
    function Quote([string] $Text) {
        if ($Text -and $Text -notmatch '[\s"]') { return $Text }
        return '"' + (($Text -replace '(\\*)"', '$1$1\"') -replace '(\\+)$', '$1$1') + '"'
    }
    $temp = [IO.Path]::GetTempPath()
    # A run whose session broke while its report ran may have left its folder; no report runs
    # longer than 300 seconds, so a folder of ours an hour old is nobody's.
    foreach ($stale in [IO.Directory]::GetDirectories($temp, 'Morvaleth-*')) {
        if ([IO.Path]::GetFileName($stale) -cmatch '^Morvaleth-[0-9a-f]{32}$' -and
            [IO.Directory]::GetLastWriteTimeUtc($stale) -lt [DateTime]::UtcNow.AddHours(-1)) {
            try { [IO.Directory]::Delete($stale, $true) } catch { }
        }
    }
    $folder = Join-Path $temp ('Morvaleth-' + [guid]::NewGuid().ToString('N'))
    $answer.Folder = $folder
    $clock = [Diagnostics.Stopwatch]::StartNew()
    try {
        try {
            [void][IO.Directory]::CreateDirectory($folder)
            foreach ($name in $Files.Keys) {
                [IO.File]::WriteAllBytes([IO.Path]::Combine($folder, $name), [byte[]]$Files[$name])
            }
        } catch {
            $answer.Failed = 'copy'
            throw
        }
        $answer.CopySeconds = $clock.Elapsed.TotalSeconds
        $clock.Restart()
        $answer.Failed = 'run'
        $program = [IO.Path]::Combine($folder, 'morvaleth-report.exe')
        $line = @($Arguments | ForEach-Object { Quote $_ })
        $start = New-Object Diagnostics.ProcessStartInfo
        if ([Environment]::OSVersion.Platform -eq [PlatformID]::Unix) {
            # Not Windows: the test machines run the report under Wine, in the prefix their
            # environment names, with Wine's loader of the report's bitness.
            $start.FileName = if ($Bits -eq 64) { '/usr/lib/wine/wine64' } else { '/usr/lib/wine/wine' }
            $line = @(Quote $program) + $line
        } else {
            $start.FileName = $program
        }
        $start.Arguments = $line -join ' '
        $start.WorkingDirectory = $folder
        $start.UseShellExecute = $false
        $start.CreateNoWindow = $true
        $start.RedirectStandardOutput = $true
        $start.RedirectStandardError = $true
        $start.StandardOutputEncoding = [Text.Encoding]::UTF8
        $process = [Diagnostics.Process]::Start($start)
        try {
            $output = $process.StandardOutput.ReadToEndAsync()
            $errorOutput = $process.StandardError.ReadToEndAsync()
            if (-not $process.WaitForExit(300000)) {
                $process.Kill()
                throw 'the report did not finish within 300 seconds'
            }
            $process.WaitForExit()
            $answer.ExitCode = $process.ExitCode
            $answer.Output = $output.Result
            $answer.ErrorOutput = $errorOutput.Result
        } finally {
            $process.Dispose()
        }
        $answer.ReportSeconds = $clock.Elapsed.TotalSeconds
        $answer.Failed = $null
    } catch {
        $answer.Error = $_.Exception.Message
    } finally {
        # The report has exited, so nothing holds its files; a second try covers a virus scanner.
        foreach ($attempt in 1, 2) {
            try { [IO.Directory]::Delete($folder, $true) } catch { Start-Sleep -Milliseconds 200 }
            if (-not [IO.Directory]::Exists($folder)) { break }
        }
        $answer.FolderLeft = [IO.Directory]::Exists($folder)
    }
    [pscustomobject]$answer
}

# Runs in a pool runspace, one machine at a time: connects (unless handed a session), asks the
# target's bitness, sends the report of that bitness and runs it there. Never throws.
$script:WorkerScript = {
    param($Target, [hashtable] $Connection, [hashtable] $Payloads, [string[]] $Arguments, [string] $ReportText)
    $ErrorActionPreference = 'Stop'
    $work = [ordered]@{ Stage = 'connect'; Error = $null; Category = $null; Run = $null; Bits = $null
        Started = [DateTime]::Now; Ended = $null }
    $session = $null
    $ownSession = $false
    try {
        $report = [scriptblock]::Create($ReportText)
        $bitsQuery = { if ([Environment]::Is64BitOperatingSystem) { 64 } else { 32 } }
        if ($null -eq $Target) {
            $work.Bits = & $bitsQuery
        } else {
            if ($Target -is [System.Management.Automation.Runspaces.PSSession]) {
                $session = $Target
            } else {
                if ($Connection.ContainsKey('HostName')) {
                    # PowerShell's SSH transport can take the whole process down when ssh exits at
                    # once (refused, unknown host): find out first whether anything listens.
                    $address = ($Connection.HostName -split '@')[-1]
                    $port = if ($Connection.ContainsKey('Port')) { $Connection.Port } else { 22 }
                    $probe = New-Object Net.Sockets.TcpClient
                    try {
                        $attempt = $probe.BeginConnect($address, $port, $null, $null)
                        if (-not $attempt.AsyncWaitHandle.WaitOne(15000)) { throw 'no answer within 15 seconds' }
                        $probe.EndConnect($attempt)
                    } catch {
                        $why = $_.Exception
                        while ($null -ne $why.InnerException) { $why = $why.InnerException }
                        throw "cannot connect to ${address} port ${port}: $($why.Message)"
                    } finally {
                        $probe.Close()
                    }
                }
                $session = New-PSSession @Connection
                $ownSession = $true
            }
            $work.Stage = 'bitness'
            $work.Bits = [int](Invoke-Command -Session $session -ScriptBlock $bitsQuery)
        }
        $work.Stage = 'copy'
        $payload = $Payloads[$work.Bits]
        if ($null -eq $payload) { throw "the module carries no $($work.Bits)-bit report" }
        if ($null -eq $Target) {
            $work.Run = & $report $payload $Arguments $work.Bits
        } else {
            $work.Run = Invoke-Command -Session $session -ScriptBlock $report -ArgumentList $payload, $Arguments, $work.Bits
        }
        if ($work.Run.Failed) { $work.Stage = $work.Run.Failed; throw $work.Run.Error }
        $work.Stage = 'done'
    } catch {
        $work.Error = $_.Exception.Message
        $work.Category = [string]$_.CategoryInfo.Category
    } finally {
        if ($ownSession -and $null -ne $session) { Remove-PSSession -Session $session -ErrorAction SilentlyContinue }
        $work.Ended = [DateTime]::Now
    }
    [pscustomobject]$work
}

# What a failed stage means, for the objects and the error record.
$script:Failures = @{
    connect = @{ Code = 'unreachable'; Category = 'ConnectionError'; Words = 'cannot be reached' }
    bitness = @{ Code = 'unreachable'; Category = 'ConnectionError'; Words = 'does not answer through remoting' }
    copy    = @{ Code = 'copy-failed'; Category = 'WriteError'; Words = 'refused the copy of the report' }
    run     = @{ Code = 'report-failed'; Category = 'InvalidResult'; Words = 'could not run the report' }
    output  = @{ Code = 'evidence-unreadable'; Category = 'InvalidData'; Words = 'gave no evidence' }
}

function Resolve-MorvalethRequirement {
    # The report's own rule: a flag check alone or with =1 must be true, with =0 false; a text
    # check needs =TEXT. Gives the requirement with the check's own spelling, or an error text.
    param([string] $Requirement)
    $name, $value = $Requirement -split '=', 2
    $check = $script:CheckNames | Where-Object { $_ -eq $name } | Select-Object -First 1
    if (-not $name) { return @{ Error = "The requirement '$Requirement' names no check." } }
    if (-not $check) {
        return @{ Error = "There is no check named '$name'. Valid names: $($script:CheckNames -join ', ')." }
    }
    $isText = $script:TextChecks -contains $check
    if ($isText -and $null -eq $value) {
        return @{ Error = "$check answers a text: write '$check=TEXT'." }
    }
    if (-not $isText -and $null -ne $value -and $value -ne '0' -and $value -ne '1') {
        return @{ Error = "$check answers true or false: write '$check' or '$check=0'." }
    }
    if ($null -eq $value) { return @{ Argument = $check } }
    @{ Argument = "$check=$value" }
}

function Read-MorvalethPayloads {
    # The report and its DLL of each bitness that the module carries, as bytes to send.
    $payloads = @{}
    foreach ($bits in 32, 64) {
        $folder = Join-Path (Join-Path $PSScriptRoot 'bin') $script:BinFolders[$bits]
        $files = [ordered]@{}
        foreach ($name in $script:ReportFiles) {
            $path = Join-Path $folder $name
            if (Test-Path -LiteralPath $path -PathType Leaf) { $files[$name] = [IO.File]::ReadAllBytes($path) }
        }
        if ($files.Count -eq $script:ReportFiles.Count) { $payloads[$bits] = $files }
    }
    $payloads
}

function New-MorvalethCheckResult {
    param([string] $ComputerName, [string] $Check, $Answer, [string] $State, [string] $ReasonCode,
        [string] $Reason, $Required, $Outcome, [string] $Requirement, [string] $Rule, [string] $Help,
        $Readings, [string] $ErrorText)
    [pscustomobject]@{
        PSTypeName   = 'Morvaleth.CheckResult'
        ComputerName = $ComputerName
        Check        = $Check
        Kind         = $(if ($script:TextChecks -contains $Check) { 'text' } else { 'flag' })
        Answer       = $Answer
        State        = $State
        ReasonCode   = $ReasonCode
        Reason       = $Reason
        Required     = $Required
        Outcome      = $Outcome
        Requirement  = $Requirement
        Rule         = $Rule
        Help         = $Help
        Readings     = @($Readings)
        Error        = $ErrorText
    }
}

function ConvertFrom-MorvalethEvidence {
    # One computer's evidence document into check objects and its summary.
    param([string] $ComputerName, $Evidence, $Work)
    $requirements = @{}
    foreach ($requirement in @($Evidence.requirements)) {
        $known = $requirements[$requirement.check]
        # Several requirements on one check: the worst outcome stands.
        $rank = @{ met = 0; undetermined = 1; unmet = 2 }
        if ($null -eq $known -or $rank[$requirement.outcome] -gt $rank[$known.outcome]) {
            $requirements[$requirement.check] = $requirement
        }
    }
    $results = foreach ($check in $Evidence.checks) {
        $requirement = $requirements[$check.name]
        $required = $null; $outcome = $null; $words = $null
        if ($null -ne $requirement) {
            $required = $requirement.required; $outcome = $requirement.outcome; $words = $requirement.words
        }
        New-MorvalethCheckResult -ComputerName $ComputerName -Check $check.name -Answer $check.answer `
            -State $check.state -ReasonCode $check.reason_code -Reason $check.reason -Required $required `
            -Outcome $outcome -Requirement $words -Rule $check.rule -Help $check.help -Readings $check.readings
    }
    $summary = $Evidence.summary
    New-MorvalethComputerResult -ComputerName $ComputerName -Work $Work -Results $results -Evidence $Evidence `
        -Verdict $summary.verdict -ExitStatus $summary.exit_status -Counts $summary
}

function New-MorvalethComputerResult {
    param([string] $ComputerName, $Work, $Results, $Evidence, [string] $Verdict, $ExitStatus, $Counts,
        [string] $ErrorText, [string] $ReasonCode)
    $run = $Work.Run
    $count = { param($name) if ($null -ne $Counts) { $Counts.$name } else { 0 } }
    [pscustomobject]@{
        PSTypeName               = 'Morvaleth.ComputerResult'
        ComputerName             = $ComputerName
        Verdict                  = $Verdict
        Reachable                = @('connect', 'bitness') -notcontains $Work.Stage
        ReasonCode               = $ReasonCode
        Error                    = $ErrorText
        ExitStatus               = $ExitStatus
        Checks                   = @($Results).Count
        Determined               = & $count 'determined'
        Undetermined             = $(if ($null -ne $Counts) { $Counts.undetermined } else { @($Results).Count })
        Requirements             = & $count 'requirements'
        Met                      = & $count 'met'
        Unmet                    = & $count 'unmet'
        RequirementsUndetermined = & $count 'requirements_undetermined'
        Bits                     = $Work.Bits
        StartTime                = $Work.Started
        EndTime                  = $Work.Ended
        Duration                 = $Work.Ended - $Work.Started
        CopyDuration             = $(if ($null -ne $run) { [TimeSpan]::FromSeconds($run.CopySeconds) })
        ReportDuration           = $(if ($null -ne $run) { [TimeSpan]::FromSeconds($run.ReportSeconds) })
        Results                  = @($Results)
        Evidence                 = $Evidence
    }
}

function Read-MorvalethWork {
    # One machine's work into its objects; a failure gives 26 undetermined checks saying why.
    param([string] $ComputerName, $Work, [string[]] $Required)
    $evidence = $null
    if ($Work.Stage -eq 'done') {
        try {
            $evidence = $Work.Run.Output | ConvertFrom-Json
            if ($null -eq $evidence -or [string]$evidence.format_version -notmatch '^1\.\d+$') {
                throw "format version '$($evidence.format_version)' is not 1.x"
            }
        } catch {
            $Work.Stage = 'output'
            $status = $Work.Run.ExitCode
            # The report's first words on standard error say why; its usage text would not.
            $words = @(([string]$Work.Run.ErrorOutput) -split '\r?\n' | Where-Object { $_.Trim() })
            $words = if ($words.Count -gt 0) { $words[0].Trim() } else { '' }
            $Work.Error = "the report exited with status $status and printed no evidence document" +
                $(if ($words) { ": $words" } else { '' })
            $evidence = $null
        }
    }
    if ($null -ne $evidence) {
        return ConvertFrom-MorvalethEvidence -ComputerName $ComputerName -Evidence $evidence -Work $Work
    }
    $failure = $script:Failures[$Work.Stage]
    if ($null -eq $failure) { $failure = $script:Failures['run'] }
    $message = "${ComputerName} $($failure.Words): $($Work.Error)"
    $requiredChecks = @{}
    foreach ($requirement in $Required) { $requiredChecks[($requirement -split '=', 2)[0]] = $requirement }
    $results = foreach ($check in $script:CheckNames) {
        $isRequired = $requiredChecks.ContainsKey($check)
        New-MorvalethCheckResult -ComputerName $ComputerName -Check $check -Answer $null -State 'undetermined' `
            -ReasonCode $failure.Code -Reason $message -Outcome $(if ($isRequired) { 'undetermined' }) `
            -Requirement $(if ($isRequired) { "$($requiredChecks[$check]): undetermined" }) -ErrorText $Work.Error
    }
    $summary = New-MorvalethComputerResult -ComputerName $ComputerName -Work $Work -Results $results `
        -Verdict 'undetermined' -ErrorText $Work.Error -ReasonCode $failure.Code
    $summary | Add-Member -NotePropertyName ErrorCategory -NotePropertyValue $failure.Category -PassThru
}

function Test-MorvalethReadiness {
    <#
    .SYNOPSIS
    Checks whether this machine, or each of many, meets the installation prerequisites.

    .DESCRIPTION
    Runs Morvaleth's 26 checks on the local machine or on remote machines through PowerShell
    remoting, with nothing installed on them. For each machine the report program and
    Morvaleth.DLL of that machine's bitness are copied through the session into a fresh temporary
    folder, run with "--format evidence", and the folder is removed again on every path.

    Returns one Morvaleth.CheckResult object per check and machine: ComputerName, Check, Kind,
    Answer, State (determined or undetermined), ReasonCode, Reason, Readings (what the check read:
    API, key, view, value, status, type, data), and for a required check Required, Outcome (met,
    unmet or undetermined) and Requirement (the words). With -Summary it returns one
    Morvaleth.ComputerResult per machine instead: the verdict (pass, fail or undetermined), the
    counts, the timings, the evidence document and the check objects in Results.

    A machine that cannot be reached, refuses the copy, or whose report fails still gives its 26
    objects, each undetermined with the reason, and a non-terminating error; the other machines go
    on. At most -ThrottleLimit machines are worked on at once.

    .PARAMETER ComputerName
    Machines to check through WinRM remoting (as Invoke-Command -ComputerName). Without
    ComputerName, HostName or Session the local machine is checked.

    .PARAMETER HostName
    Machines to check through SSH remoting (PowerShell 7 only; as Invoke-Command -HostName).

    .PARAMETER Session
    Open sessions to check through; they stay open.

    .PARAMETER Credential
    The account for -ComputerName.

    .PARAMETER UserName
    The account for -HostName.

    .PARAMETER KeyFilePath
    The SSH key for -HostName.

    .PARAMETER Options
    SSH options for -HostName, as New-PSSession -Options (for example @{ StrictHostKeyChecking = 'yes' }).

    .PARAMETER Port
    The port for -ComputerName or -HostName.

    .PARAMETER Require
    Conditions the answers must meet, as the report's --require: a flag check alone must be true,
    CHECK=0 false; a text check CHECK=TEXT must give exactly TEXT. Names are not case-sensitive.

    .PARAMETER ThrottleLimit
    How many machines are worked on at once; 32 by default, as Invoke-Command.

    .PARAMETER Summary
    Return one object per machine instead of one per check.

    .EXAMPLE
    Test-MorvalethReadiness -Require HasDotNetFramework2, IsAdmin

    Checks this machine; the two checks carry Outcome met, unmet or undetermined.

    .EXAMPLE
    Test-MorvalethReadiness -ComputerName (Get-Content servers.txt) -Require HasDotNetFramework2 |
        Where-Object Outcome -ne 'met' | Export-Csv not-ready.csv -NoTypeInformation

    Lists, for 300 servers, every requirement that is not met or could not be judged.

    .EXAMPLE
    Test-MorvalethReadiness -ComputerName web1, web2 -Summary | Format-Table ComputerName, Verdict, Unmet, Error

    One line per machine.

    .EXAMPLE
    $sessions = New-PSSession -HostName db1, db2 -UserName admin
    Test-MorvalethReadiness -Session $sessions | Export-MorvalethHtml -Path fleet.html

    Checks through SSH sessions that are already open and writes the fleet's page.

    .OUTPUTS
    Morvaleth.CheckResult, or Morvaleth.ComputerResult with -Summary.

    .LINK
    ConvertTo-MorvalethJUnit

    .LINK
    Export-MorvalethHtml
    #>
    [CmdletBinding(DefaultParameterSetName = 'Local')]
    [OutputType('Morvaleth.CheckResult', 'Morvaleth.ComputerResult')]
    param(
        [Parameter(Mandatory, ParameterSetName = 'ComputerName', Position = 0, ValueFromPipeline,
            ValueFromPipelineByPropertyName)]
        [Alias('Cn', 'PSComputerName')]
        [ValidateNotNullOrEmpty()]
        [string[]] $ComputerName,

        [Parameter(Mandatory, ParameterSetName = 'HostName')]
        [ValidateNotNullOrEmpty()]
        [string[]] $HostName,

        [Parameter(Mandatory, ParameterSetName = 'Session', ValueFromPipeline)]
        [ValidateNotNull()]
        [System.Management.Automation.Runspaces.PSSession[]] $Session,

        [Parameter(ParameterSetName = 'ComputerName')]
        [System.Management.Automation.PSCredential]
        [System.Management.Automation.Credential()]
        $Credential = [System.Management.Automation.PSCredential]::Empty,

        [Parameter(ParameterSetName = 'HostName')]
        [string] $UserName,

        [Parameter(ParameterSetName = 'HostName')]
        [string] $KeyFilePath,

        [Parameter(ParameterSetName = 'HostName')]
        [hashtable] $Options,

        [Parameter(ParameterSetName = 'ComputerName')]
        [Parameter(ParameterSetName = 'HostName')]
        [ValidateRange(1, 65535)]
        [int] $Port,

        [string[]] $Require = @(),

        [ValidateRange(1, 1000)]
        [int] $ThrottleLimit = 32,

        [switch] $Summary
    )
    begin {
        $targets = New-Object System.Collections.ArrayList
        $arguments = @('--format', 'evidence')
        $required = @()
        $valid = $true
        foreach ($requirement in $Require) {
            $resolved = Resolve-MorvalethRequirement $requirement
            if ($resolved.ContainsKey('Error')) {
                $valid = $false
                Write-Error -Message "Nothing was checked. $($resolved.Error)" -Category InvalidArgument `
                    -ErrorId 'MorvalethUnknownRequirement' -TargetObject $requirement
                continue
            }
            $required += $resolved.Argument
            $arguments += '--require', $resolved.Argument
        }
        if ($PSCmdlet.ParameterSetName -eq 'HostName' -and $PSVersionTable.PSVersion.Major -lt 7) {
            $valid = $false
            Write-Error -Message 'SSH remoting (-HostName) needs PowerShell 7; use -ComputerName or -Session here.' `
                -Category NotImplemented -ErrorId 'MorvalethNoSshRemoting'
        }
    }
    process {
        if (-not $valid) { return }
        switch ($PSCmdlet.ParameterSetName) {
            'ComputerName' {
                foreach ($name in $ComputerName) {
                    $connection = @{ ComputerName = $name }
                    if ($Credential -ne [System.Management.Automation.PSCredential]::Empty) { $connection.Credential = $Credential }
                    if ($Port) { $connection.Port = $Port }
                    [void]$targets.Add(@{ Name = $name; Target = $name; Connection = $connection })
                }
            }
            'HostName' {
                foreach ($name in $HostName) {
                    $connection = @{ HostName = $name }
                    if ($UserName) { $connection.UserName = $UserName }
                    if ($KeyFilePath) { $connection.KeyFilePath = $KeyFilePath }
                    if ($Options) { $connection.Options = $Options }
                    if ($Port) { $connection.Port = $Port }
                    [void]$targets.Add(@{ Name = $name; Target = $name; Connection = $connection })
                }
            }
            'Session' {
                foreach ($one in $Session) {
                    [void]$targets.Add(@{ Name = $one.ComputerName; Target = $one; Connection = @{} })
                }
            }
        }
    }
    end {
        if (-not $valid) { return }
        if ($PSCmdlet.ParameterSetName -eq 'Local') {
            [void]$targets.Add(@{ Name = [Environment]::MachineName; Target = $null; Connection = @{} })
        }
        $payloads = Read-MorvalethPayloads
        if ($payloads.Count -eq 0) {
            Write-Error -Message "The module carries no report program: $(Join-Path $PSScriptRoot 'bin') holds neither x86 nor x64." `
                -Category ObjectNotFound -ErrorId 'MorvalethNoReport'
            return
        }
        $pool = [runspacefactory]::CreateRunspacePool(1, $ThrottleLimit)
        $running = New-Object System.Collections.ArrayList
        try {
            $pool.Open()
            foreach ($target in $targets) {
                $shell = [powershell]::Create()
                $shell.RunspacePool = $pool
                [void]$shell.AddScript($script:WorkerScript.ToString()).AddArgument($target.Target).
                AddArgument($target.Connection).AddArgument($payloads).AddArgument($arguments).
                AddArgument($script:ReportScript.ToString())
                [void]$running.Add(@{ Shell = $shell; Handle = $shell.BeginInvoke(); Name = $target.Name })
            }
            # Each machine's objects as soon as it is done, in the order they finish.
            while ($running.Count -gt 0) {
                $done = @($running | Where-Object { $_.Handle.IsCompleted })
                if ($done.Count -eq 0) { Start-Sleep -Milliseconds 50; continue }
                foreach ($job in $done) {
                    $running.Remove($job)
                    $work = $null
                    try { $work = @($job.Shell.EndInvoke($job.Handle))[0] } catch { }
                    $job.Shell.Dispose()
                    if ($null -eq $work) {
                        $work = [pscustomobject]@{ Stage = 'run'; Error = 'the worker gave no result'; Category = $null
                            Run = $null; Bits = $null; Started = [DateTime]::Now; Ended = [DateTime]::Now }
                    }
                    $computer = Read-MorvalethWork -ComputerName $job.Name -Work $work -Required $required
                    if ($Summary) { $computer } else { $computer.Results }
                    if ($computer.Error) {
                        $category = $computer.ErrorCategory
                        Write-Error -Message ($computer.Results[0].Reason) -Category $category `
                            -ErrorId "Morvaleth$($category)" -TargetObject $job.Name
                    }
                }
            }
        } finally {
            foreach ($job in $running) { $job.Shell.Stop(); $job.Shell.Dispose() }
            $pool.Dispose()
        }
    }
}

function Get-MorvalethPipelineChecks {
    # Check objects from whatever the caller piped: check objects or per-machine summaries.
    param($InputObject)
    foreach ($item in $InputObject) {
        if ($null -eq $item) { continue }
        if ($item.PSObject.TypeNames -contains 'Morvaleth.ComputerResult' -or
            $item.PSObject.TypeNames -contains 'Deserialized.Morvaleth.ComputerResult') {
            $item.Results
        } elseif ($item.PSObject.Properties['Check'] -and $item.PSObject.Properties['ComputerName']) {
            $item
        } else {
            Write-Error -Message "Not a Morvaleth result: $item" -Category InvalidType -ErrorId 'MorvalethNotAResult' `
                -TargetObject $item
        }
    }
}

function Get-MorvalethCellStatus {
    # How one check reads in the JUnit file and on the page: the requirement's outcome when it is
    # required, else whether it could be answered.
    param($Result)
    if ($Result.Error) { return 'error' }
    if ($Result.Outcome -eq 'unmet') { return 'unmet' }
    if ($Result.Outcome -eq 'undetermined') { return 'undetermined-required' }
    if ($Result.State -eq 'undetermined') { return 'undetermined' }
    if ($Result.Outcome -eq 'met') { return 'met' }
    'answered'
}

function Get-MorvalethVerdict {
    # One computer's verdict from its check objects: as the report judges its requirements.
    param($Results)
    if (@($Results | Where-Object Error).Count -gt 0) { return 'not checked' }
    if (@($Results | Where-Object Outcome -eq 'unmet').Count -gt 0) { return 'fail' }
    if (@($Results | Where-Object Outcome -eq 'undetermined').Count -gt 0) { return 'undetermined' }
    'pass'
}

function Format-MorvalethAnswer {
    param($Answer)
    if ($null -eq $Answer) { return '' }
    if ($Answer -is [bool]) { return $Answer.ToString().ToLowerInvariant() }
    [string]$Answer
}

function Get-MorvalethSystemOut {
    # What the report's own JUnit file says of a check, for one test case's system-out.
    param($Result)
    $lines = @("answer: $(Format-MorvalethAnswer $Result.Answer)", "state: $($Result.State)",
        "reason: $($Result.Reason) [$($Result.ReasonCode)]", "rule: $($Result.Rule)", "help: $($Result.Help)")
    foreach ($reading in @($Result.Readings)) {
        if ($null -eq $reading) { continue }
        $where = (@($reading.root, $reading.path) | Where-Object { $_ }) -join '\'
        $lines += "reading: $($reading.api) $where$(if ($reading.value) { " [$($reading.value)]" }) view $($reading.view): " +
            "$($reading.status_text)$(if ($null -ne $reading.data) { " = $($reading.data) ($($reading.type))" })"
    }
    ($lines -join "`n") + "`n"
}

function ConvertTo-MorvalethJUnit {
    <#
    .SYNOPSIS
    Turns readiness results into a JUnit XML document: one test suite per computer.

    .DESCRIPTION
    Takes the objects of Test-MorvalethReadiness (per check or per machine) and writes the report's
    own JUnit mapping for each computer, as one testsuite (name and hostname the computer) with one
    testcase per check (classname the computer, name the check): an unmet requirement is a failure
    (message: the requirement's words, body: the reason), a requirement that could not be judged is
    an error of type "undetermined", and a computer that could not be checked gives an error on
    every check (type: why, for example "unreachable"). Every test case's system-out holds the
    answer, state, reason, rule, help and readings.

    .PARAMETER InputObject
    The results, usually from the pipeline.

    .EXAMPLE
    Test-MorvalethReadiness -ComputerName (Get-Content servers.txt) -Require HasBITS |
        ConvertTo-MorvalethJUnit | Set-Content -Encoding UTF8 readiness.xml

    .OUTPUTS
    System.String
    #>
    [CmdletBinding()]
    [OutputType([string])]
    param([Parameter(Mandatory, ValueFromPipeline)] [AllowNull()] [object[]] $InputObject)
    begin { $all = New-Object System.Collections.ArrayList }
    process { foreach ($one in @(Get-MorvalethPipelineChecks $InputObject)) { [void]$all.Add($one) } }
    end {
        $settings = New-Object System.Xml.XmlWriterSettings
        $settings.Indent = $true
        $settings.Encoding = New-Object System.Text.UTF8Encoding $false
        $buffer = New-Object System.IO.MemoryStream
        $xml = [System.Xml.XmlWriter]::Create($buffer, $settings)
        $count = { param($items, $status) @($items | Where-Object { $status -contains (Get-MorvalethCellStatus $_) }).Count }
        $counts = {
            param($items)
            $xml.WriteAttributeString('tests', [string]@($items).Count)
            $xml.WriteAttributeString('failures', [string](& $count $items @('unmet')))
            $xml.WriteAttributeString('errors', [string](& $count $items @('error', 'undetermined-required')))
            $xml.WriteAttributeString('skipped', '0')
            $xml.WriteAttributeString('time', '0')
        }
        $xml.WriteStartElement('testsuites')
        $xml.WriteAttributeString('name', 'Morvaleth readiness')
        & $counts $all
        foreach ($group in @($all | Group-Object ComputerName)) {
            $xml.WriteStartElement('testsuite')
            $xml.WriteAttributeString('name', $group.Name)
            $xml.WriteAttributeString('hostname', $group.Name)
            $xml.WriteAttributeString('timestamp', [DateTime]::UtcNow.ToString('yyyy-MM-ddTHH:mm:ss'))
            & $counts $group.Group
            foreach ($result in $group.Group) {
                $xml.WriteStartElement('testcase')
                $xml.WriteAttributeString('classname', $group.Name)
                $xml.WriteAttributeString('name', $result.Check)
                $xml.WriteAttributeString('time', '0')
                $status = Get-MorvalethCellStatus $result
                if ($status -eq 'unmet' -or $status -eq 'undetermined-required' -or $status -eq 'error') {
                    $element = if ($status -eq 'unmet') { 'failure' } else { 'error' }
                    $type = switch ($status) { 'unmet' { 'unmet' } 'error' { [string]$result.ReasonCode } default { 'undetermined' } }
                    $message = if ($result.Requirement) { [string]$result.Requirement } else { [string]$result.Reason }
                    $xml.WriteStartElement($element)
                    $xml.WriteAttributeString('type', $type)
                    $xml.WriteAttributeString('message', $message)
                    $xml.WriteString([string]$result.Reason)
                    $xml.WriteEndElement()
                }
                $xml.WriteElementString('system-out', (Get-MorvalethSystemOut $result))
                $xml.WriteEndElement()
            }
            $xml.WriteEndElement()
        }
        $xml.WriteEndElement()
        $xml.Flush()
        $xml.Dispose()
        [Text.Encoding]::UTF8.GetString($buffer.ToArray())
        $buffer.Dispose()
    }
}

function Export-MorvalethHtml {
    <#
    .SYNOPSIS
    Writes one self-contained HTML page for a fleet: computers by checks.

    .DESCRIPTION
    Takes the objects of Test-MorvalethReadiness and writes a page with one row per computer and
    one column per check. Each cell shows the answer and is coloured by its state: a met
    requirement green, an unmet one red, an answer or requirement that could not be determined
    amber, a machine that could not be checked grey. The reason shows when the cell is pointed at
    or focused, and on paper every reason is printed. The page needs no other file and no script.

    .PARAMETER InputObject
    The results, usually from the pipeline.

    .PARAMETER Path
    The file to write (UTF-8).

    .PARAMETER Title
    The page's title.

    .PARAMETER PassThru
    Return the written file.

    .EXAMPLE
    Test-MorvalethReadiness -ComputerName (Get-Content servers.txt) -Require HasDotNetFramework2, IsAdmin |
        Export-MorvalethHtml -Path C:\Reports\readiness.html
    #>
    [CmdletBinding()]
    param(
        [Parameter(Mandatory, ValueFromPipeline)] [AllowNull()] [object[]] $InputObject,
        [Parameter(Mandatory, Position = 0)] [ValidateNotNullOrEmpty()] [string] $Path,
        [string] $Title = 'Morvaleth readiness',
        [switch] $PassThru
    )
    begin { $all = New-Object System.Collections.ArrayList }
    process { foreach ($one in @(Get-MorvalethPipelineChecks $InputObject)) { [void]$all.Add($one) } }
    end {
        $encode = { param($text) [System.Net.WebUtility]::HtmlEncode([string]$text) }
        $checks = New-Object System.Collections.Generic.List[string]
        foreach ($name in $script:CheckNames) { if ($all | Where-Object Check -eq $name) { $checks.Add($name) } }
        foreach ($result in $all) { if (-not $checks.Contains($result.Check)) { $checks.Add($result.Check) } }
        $page = New-Object System.Text.StringBuilder
        $add = { param($text) [void]$page.Append($text) }
        & $add @"
<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>$(& $encode $Title)</title>
<style>
body { font: 13px/1.35 "Segoe UI", Arial, sans-serif; margin: 1em; color: #111; }
h1 { font-size: 1.3em; margin: 0 0 .3em; }
table { border-collapse: collapse; }
th, td { border: 1px solid #999; padding: 2px 4px; vertical-align: top; }
thead th { writing-mode: vertical-rl; transform: rotate(180deg); white-space: nowrap; font-weight: 600; background: #eee; }
thead th.computer { writing-mode: horizontal-tb; transform: none; vertical-align: bottom; }
tbody th { text-align: left; white-space: nowrap; background: #f6f6f6; }
td { min-width: 3.2em; max-width: 12em; overflow-wrap: break-word; }
.verdict { font-weight: 600; white-space: nowrap; }
.met { background: #c6efce; } .unmet { background: #ffc7ce; } .answered { background: #fff; }
.undetermined, .undetermined-required { background: #ffeb9c; } .error { background: #d9d9d9; }
.reason { display: none; font-size: 11px; color: #333; }
td:hover .reason, td:focus .reason { display: block; }
.legend span { display: inline-block; padding: 1px 6px; margin-right: 4px; border: 1px solid #999; }
@media print {
  @page { size: landscape; margin: 1cm; }
  body { font-size: 8pt; margin: 0; }
  .reason { display: block; font-size: 6.5pt; }
  td, th { break-inside: avoid; }
  .met, .unmet, .undetermined, .undetermined-required, .error { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
</style></head><body>
<h1>$(& $encode $Title)</h1>
<p>$($all.Count) answers from $(@($all | Group-Object ComputerName).Count) computers, $(& $encode ([DateTime]::Now.ToString('yyyy-MM-dd HH:mm')))</p>
<p class="legend"><span class="met">requirement met</span><span class="unmet">requirement unmet</span><span class="undetermined">undetermined</span><span class="error">not checked</span><span class="answered">answered, not required</span> A question mark: the check could not tell. Point at a cell for its reason.</p>
<table><thead><tr><th class="computer">Computer</th><th class="computer">Verdict</th>
"@
        foreach ($check in $checks) { & $add "<th scope=`"col`">$(& $encode $check)</th>" }
        & $add "</tr></thead><tbody>`n"
        foreach ($group in @($all | Group-Object ComputerName)) {
            $verdict = Get-MorvalethVerdict $group.Group
            $verdictClass = @{ pass = 'met'; fail = 'unmet'; undetermined = 'undetermined'; 'not checked' = 'error' }[$verdict]
            & $add "<tr><th scope=`"row`">$(& $encode $group.Name)</th><td class=`"verdict $verdictClass`">$verdict</td>"
            $failed = @($group.Group | Where-Object Error)
            if ($failed.Count -gt 0) {
                # A machine that could not be checked: one cell says why, across the checks.
                & $add "<td class=`"error`" colspan=`"$($checks.Count)`">$(& $encode $failed[0].Reason)</td></tr>`n"
                continue
            }
            foreach ($check in $checks) {
                $result = $group.Group | Where-Object Check -eq $check | Select-Object -First 1
                if ($null -eq $result) { & $add '<td></td>'; continue }
                $status = Get-MorvalethCellStatus $result
                $answer = Format-MorvalethAnswer $result.Answer
                if ($result.State -eq 'undetermined') { $answer = "$answer ?" }
                $reason = [string]$result.Reason
                if ($result.Requirement) { $reason = "$($result.Requirement). $reason" }
                & $add ("<td class=`"$status`" tabindex=`"0`" title=`"$(& $encode $reason)`">" +
                    "$(& $encode $answer)<span class=`"reason`">$(& $encode $reason)</span></td>")
            }
            & $add "</tr>`n"
        }
        & $add "</tbody></table></body></html>`n"
        $full = $PSCmdlet.GetUnresolvedProviderPathFromPSPath($Path)
        try {
            [IO.File]::WriteAllText($full, $page.ToString(), (New-Object System.Text.UTF8Encoding $false))
        } catch {
            Write-Error -Message "Cannot write ${full}: $($_.Exception.Message)" -Category WriteError `
                -ErrorId 'MorvalethCannotWrite' -TargetObject $full
            return
        }
        if ($PassThru) { Get-Item -LiteralPath $full }
    }
}

Export-ModuleMember -Function Test-MorvalethReadiness, ConvertTo-MorvalethJUnit, Export-MorvalethHtml
