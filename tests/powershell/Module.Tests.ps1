# The module on this machine, against the real report under Wine.
BeforeAll {
    . $PSScriptRoot/Machines.ps1
    Import-Module $env:MORVALETH_MODULE -Force
    $script:machine = New-TestMachine local -Fixture DotNet2, DotNet3WrongType
    $script:savedEnvironment = @{ WINEPREFIX = $env:WINEPREFIX; TMPDIR = $env:TMPDIR }
    $env:WINEPREFIX = $machine.Prefix
    $env:TMPDIR = $machine.Temp
    # What a run cut off an hour ago left, and a run of someone else's going on now.
    $script:stale = New-Item -ItemType Directory -Path (Join-Path $machine.Temp ('Morvaleth-' + 'a' * 32))
    $stale.LastWriteTimeUtc = [DateTime]::UtcNow.AddHours(-2)
    $script:running = New-Item -ItemType Directory -Path (Join-Path $machine.Temp ('Morvaleth-' + 'b' * 32))
    $script:checks = @(Test-MorvalethReadiness -Require HasDotNetFramework2, isrebootpending, HasDotNetFramework3)
}

AfterAll {
    $env:WINEPREFIX = $savedEnvironment.WINEPREFIX
    $env:TMPDIR = $savedEnvironment.TMPDIR
    Remove-TestMachine $machine
}

Describe 'Test-MorvalethReadiness on this machine' {
    It 'answers the 26 checks in the interface''s order, each with its evidence' {
        $checks.Count | Should -Be 26
        $checks | ForEach-Object { $_.PSObject.TypeNames[0] | Should -Be 'Morvaleth.CheckResult' }
        $checks[0].Check | Should -Be 'GetVersion'
        $checks[25].Check | Should -Be 'GetASC_x64Version'
        foreach ($check in $checks) {
            $check.ComputerName | Should -Not -BeNullOrEmpty
            $check.State | Should -BeIn 'determined', 'undetermined'
            $check.ReasonCode | Should -Match '^[a-z0-9]+(-[a-z0-9]+)*$'
            $check.Reason | Should -Not -BeNullOrEmpty
            $check.Error | Should -BeNullOrEmpty
        }
        $dotNet = $checks | Where-Object Check -eq 'HasDotNetFramework2'
        $dotNet.Answer | Should -BeTrue
        $read = $dotNet.Readings | Where-Object { $_.value -eq 'Install' }
        $read.path | Should -Be 'SOFTWARE\Microsoft\NET Framework Setup\NDP\v2.0.50727'
        $read.type | Should -Be 'REG_DWORD'
        $read.status | Should -Be 0
    }

    It 'judges <Check> as <Outcome>' -TestCases @(
        @{ Check = 'HasDotNetFramework2'; Outcome = 'met'; State = 'determined' }
        @{ Check = 'IsRebootPending'; Outcome = 'unmet'; State = 'determined' }
        @{ Check = 'HasDotNetFramework3'; Outcome = 'undetermined'; State = 'undetermined' }
        @{ Check = 'HasBITS'; Outcome = $null; State = 'determined' }
    ) {
        $result = $checks | Where-Object Check -eq $Check
        $result.Outcome | Should -Be $Outcome
        $result.State | Should -Be $State
        if ($Outcome) { $result.Requirement | Should -Not -BeNullOrEmpty }
    }

    It 'leaves no temporary folder, and removes one left an hour ago, not one in use' {
        @(Get-LeftFolder $machine.Temp).Name | Should -Be @($running.Name)
    }
}

Describe 'Bad input' {
    It 'refuses the requirement <Requirement> with an error, checking nothing' -TestCases @(
        @{ Requirement = 'NoSuchCheck' }
        @{ Requirement = 'GetVersion' }
        @{ Requirement = 'HasBITS=yes' }
        @{ Requirement = '=1' }
    ) {
        $output = Test-MorvalethReadiness -Require $Requirement -ErrorAction SilentlyContinue -ErrorVariable failures
        $output | Should -BeNullOrEmpty
        $failures.Count | Should -Be 1
        $failures[0].CategoryInfo.Category | Should -Be 'InvalidArgument'
        { Test-MorvalethReadiness -Require $Requirement -ErrorAction Stop } |
            Should -Throw -ErrorId 'MorvalethUnknownRequirement,Test-MorvalethReadiness'
    }

    It 'answers for an unknown computer with 26 undetermined checks and an error' {
        $ssh = Get-TestSshParameters
        $output = @(Test-MorvalethReadiness -HostName 'no-such-host.invalid' @ssh -Require HasBITS `
                -ErrorAction SilentlyContinue -ErrorVariable failures)
        $output.Count | Should -Be 26
        $output | ForEach-Object { $_.State | Should -Be 'undetermined'; $_.ReasonCode | Should -Be 'unreachable' }
        ($output | Where-Object Check -eq 'HasBITS').Outcome | Should -Be 'undetermined'
        $failures.Count | Should -Be 1
        $failures[0].CategoryInfo.Category | Should -Be 'ConnectionError'
        $failures[0].TargetObject | Should -Be 'no-such-host.invalid'
    }

    It 'does not take what is not a result' {
        $null = 'text' | ConvertTo-MorvalethJUnit -ErrorAction SilentlyContinue -ErrorVariable failures
        $failures[0].CategoryInfo.Category | Should -Be 'InvalidType'
    }
}

Describe 'The module' {
    It 'carries the product''s version' {
        $header = Get-Content (Join-Path $env:MORVALETH_SOURCE 'resources/version.h') -Raw
        $header -match '#define MORVALETH_VERSION (\d+),(\d+),(\d+),(\d+)' | Should -BeTrue
        (Get-Module Morvaleth).Version | Should -Be ([version]($Matches[1..4] -join '.'))
    }

    It 'documents <Command> with examples' -TestCases @(
        @{ Command = 'Test-MorvalethReadiness' }, @{ Command = 'ConvertTo-MorvalethJUnit' }, @{ Command = 'Export-MorvalethHtml' }
    ) {
        $help = Get-Help $Command -Full
        $help.Synopsis | Should -Not -Match "^\s*$Command"
        @($help.Examples.Example).Count | Should -BeGreaterThan 0
    }

    It 'decides in one place how the report starts' {
        $lines = Get-Content (Join-Path $env:MORVALETH_MODULE 'Morvaleth.psm1') |
            Where-Object { $_ -notmatch '^\s*#' -and $_ -match 'wine|Unix|Linux' }
        $lines.Count | Should -Be 2
    }
}
