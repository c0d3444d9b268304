# The fan-out through real PowerShell remoting over SSH: three loopback machines, each its own sshd
# and Wine prefix, and one address where nothing listens.
BeforeAll {
    . $PSScriptRoot/Machines.ps1
    Import-Module $env:MORVALETH_MODULE -Force
    $script:machines = @(
        @{ Name = 'ready'; Address = '127.0.0.11'; Fixture = @('DotNet2') }
        @{ Name = 'nodotnet'; Address = '127.0.0.12'; Fixture = @() }
        @{ Name = 'reboot'; Address = '127.0.0.13'; Fixture = @('DotNet2', 'RebootPending') }
    ) | ForEach-Object { $m = New-TestMachine $_.Name -Fixture $_.Fixture; $m | Add-Member -NotePropertyName Address -NotePropertyValue $_.Address -PassThru }
    $script:unreachable = '127.0.0.14'
    $script:daemons = @($machines | ForEach-Object { Start-TestSshd $_ $_.Address })
    $script:ssh = Get-TestSshParameters
    $script:requirements = 'HasDotNetFramework2', 'IsRebootPending=0'
    $hosts = @($machines | ForEach-Object Address) + $unreachable
    $script:fleet = @(Test-MorvalethReadiness -HostName $hosts @ssh -Require $requirements -Summary `
            -ErrorAction SilentlyContinue -ErrorVariable fleetErrors)
    $script:fleetErrors = $fleetErrors
    $script:byName = @{}
    foreach ($computer in $fleet) { $byName[$computer.ComputerName] = $computer }
}

AfterAll {
    $daemons | ForEach-Object { Stop-TestSshd $_ }
    $machines | ForEach-Object { Remove-TestMachine $_ }
}

Describe 'Test-MorvalethReadiness over SSH remoting' {
    It 'brings back all four machines' {
        $fleet.Count | Should -Be 4
        @($byName.Keys | Sort-Object) | Should -Be @('127.0.0.11', '127.0.0.12', '127.0.0.13', '127.0.0.14')
    }

    It 'answers <Address> truly: <Verdict>' -TestCases @(
        @{ Address = '127.0.0.11'; Verdict = 'pass'; DotNet = 'met'; Reboot = 'met' }
        @{ Address = '127.0.0.12'; Verdict = 'fail'; DotNet = 'unmet'; Reboot = 'met' }
        @{ Address = '127.0.0.13'; Verdict = 'fail'; DotNet = 'met'; Reboot = 'unmet' }
        @{ Address = '127.0.0.14'; Verdict = 'undetermined'; DotNet = 'undetermined'; Reboot = 'undetermined' }
    ) {
        $computer = $byName[$Address]
        $computer.Verdict | Should -Be $Verdict
        $computer.Results.Count | Should -Be 26
        ($computer.Results | Where-Object Check -eq 'HasDotNetFramework2').Outcome | Should -Be $DotNet
        ($computer.Results | Where-Object Check -eq 'IsRebootPending').Outcome | Should -Be $Reboot
        $computer.Results | ForEach-Object { $_.ComputerName | Should -Be $Address }
    }

    It 'says why the unreachable machine has no answers, with one error' {
        $dead = $byName[$unreachable]
        $dead.Reachable | Should -BeFalse
        $dead.Error | Should -Not -BeNullOrEmpty
        $dead.Results | ForEach-Object { $_.State | Should -Be 'undetermined'; $_.ReasonCode | Should -Be 'unreachable' }
        $fleetErrors.Count | Should -Be 1
        $fleetErrors[0].TargetObject | Should -Be $unreachable
        $fleetErrors[0].CategoryInfo.Category | Should -Be 'ConnectionError'
    }

    It 'carries each reachable machine''s evidence document' {
        foreach ($computer in $fleet | Where-Object Reachable) {
            $computer.Evidence.format_version | Should -Match '^1\.'
            $computer.Evidence.checks.Count | Should -Be 26
            $computer.Bits | Should -Be 64
        }
    }

    It 'leaves no temporary folder on any machine' {
        foreach ($machine in $machines) { Get-LeftFolder $machine.Temp | Should -BeNullOrEmpty }
    }

    It 'works on the machines at once by default' {
        $live = @($fleet | Where-Object Reachable | Sort-Object StartTime)
        # Every machine started before the first one ended.
        $live[-1].StartTime | Should -BeLessThan ($live | Measure-Object -Property EndTime -Minimum).Minimum
    }
}

Describe 'Open sessions' {
    BeforeAll { $script:sessions = @($machines | ForEach-Object { New-PSSession -HostName $_.Address @ssh }) }
    AfterAll { $sessions | Remove-PSSession }

    It 'honours -ThrottleLimit 1 and leaves the sessions open' {
        $one = @(Test-MorvalethReadiness -Session $sessions -ThrottleLimit 1 -Summary | Sort-Object StartTime)
        $one.Count | Should -Be 3
        $one | ForEach-Object { $_.Verdict | Should -Be 'pass' -Because 'no requirement was given' }
        for ($i = 1; $i -lt $one.Count; $i++) { $one[$i].StartTime | Should -BeGreaterOrEqual $one[$i - 1].EndTime }
        $sessions | ForEach-Object { $_.State | Should -Be 'Opened' }
    }

    It 'writes the plain Invoke-Command fan-out to CSV, a row per check and machine' {
        # The report as installed on each machine: here Wine's loader in front of it.
        $installed = Join-Path $env:MORVALETH_WORK 'installed-report'
        $report = Join-Path $env:MORVALETH_MODULE 'bin/x64/morvaleth-report.exe'
        Set-Content -LiteralPath $installed -Value "#!/bin/sh`nexec $script:Wine64 '$report' `"`$@`""
        & chmod +x $installed
        $csv = Join-Path $env:MORVALETH_WORK 'fleet.csv'
        & (Join-Path $env:MORVALETH_SOURCE 'samples/fleet/fleet-to-csv.ps1') -Session $sessions `
            -Require HasDotNetFramework2 -Path $csv -ReportPath $installed
        $rows = @(Import-Csv -LiteralPath $csv)
        $rows.Count | Should -Be 78
        $outcomes = @{}
        $rows | Where-Object Check -eq 'HasDotNetFramework2' | ForEach-Object { $outcomes[$_.ComputerName] = $_.Outcome }
        $outcomes['127.0.0.11'] | Should -Be 'met'
        $outcomes['127.0.0.12'] | Should -Be 'unmet'
        $outcomes['127.0.0.13'] | Should -Be 'met'
    }
}

Describe 'The fleet''s JUnit file and page' {
    It 'gives one JUnit suite per computer that a JUnit reader reads' {
        $xml = $fleet | ConvertTo-MorvalethJUnit
        $file = Join-Path $env:MORVALETH_WORK 'fleet-junit.xml'
        Set-Content -LiteralPath $file -Value $xml -Encoding utf8NoBOM
        $reader = @'
import sys
from junitparser import JUnitXml, Failure, Error, Skipped
for suite in JUnitXml.fromfile(sys.argv[1]):
    kinds = [type(r).__name__ for case in suite for r in case.result]
    print(suite.name, suite.tests, kinds.count("Failure"), kinds.count("Error"))
'@
        $lines = @(& /usr/bin/python3 -c $reader $file)
        $LASTEXITCODE | Should -Be 0
        $lines | Sort-Object | Should -Be @('127.0.0.11 26 0 0', '127.0.0.12 26 1 0', '127.0.0.13 26 1 0', '127.0.0.14 26 0 26')
    }

    It 'shows every computer and check on one page in a browser' {
        $page = Join-Path $env:MORVALETH_WORK 'fleet.html'
        $fleet | Export-MorvalethHtml -Path $page -Title 'Fleet readiness'
        $browser = @('--headless', '--no-sandbox', '--disable-gpu', '--hide-scrollbars',
            "--user-data-dir=$(Join-Path $env:MORVALETH_WORK 'chromium')")
        $dom = (& chromium @browser --dump-dom "file://$page" 2>$null) -join "`n"
        foreach ($name in @($byName.Keys) + @($fleet[0].Results.Check)) { $dom.Contains(">$name<") | Should -BeTrue -Because $name }
        $dom.Contains('class="unmet"') | Should -BeTrue
        $shot = Join-Path $env:MORVALETH_WORK 'fleet.png'
        Remove-Item $shot -ErrorAction SilentlyContinue
        & chromium @browser --window-size=1700,560 "--screenshot=$shot" "file://$page" 2>$null | Out-Null
        (Get-Item $shot).Length | Should -BeGreaterThan 10000
    }
}
