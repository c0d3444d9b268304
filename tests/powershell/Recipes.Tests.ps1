# The fleet recipes, each run as its engine runs it: Intune and Configuration Manager start
# PowerShell on the script and read its exit status and standard output; Ansible's win_command
# starts the report with the playbook's arguments, no shell between.
BeforeAll {
    . $PSScriptRoot/Machines.ps1
    $script:recipes = Join-Path $env:MORVALETH_SOURCE 'samples/fleet'
    $script:machines = @{
        ready    = New-TestMachine recipe-ready -Fixture DotNet2
        nodotnet = New-TestMachine recipe-nodotnet
    }

    # The script on a machine, as the engine starts it: its status, its lines, its error lines.
    # With -Require, a copy edited as an administrator edits it: its requirements in its first line.
    function Invoke-Recipe([string] $Script, [string] $Machine, [string[]] $Require = @()) {
        $path = Join-Path $recipes $Script
        if ($Require.Count -gt 0) {
            $edited = Join-Path $env:MORVALETH_WORK "edited-$Script"
            $list = "@('" + ($Require -join "', '") + "')"
            (Get-Content -LiteralPath $path -Raw) -replace "@\('HasDotNetFramework2', 'IsRebootPending=0'\)", $list |
                Set-Content -LiteralPath $edited
            $path = $edited
        }
        $saved = @{ WINEPREFIX = $env:WINEPREFIX; TMPDIR = $env:TMPDIR; PSModulePath = $env:PSModulePath }
        $env:WINEPREFIX = $machines[$Machine].Prefix
        $env:TMPDIR = $machines[$Machine].Temp
        $env:PSModulePath = (Split-Path $env:MORVALETH_MODULE) + [IO.Path]::PathSeparator + $env:PSModulePath
        $errors = Join-Path $env:MORVALETH_WORK 'recipe-stderr.txt'
        try {
            $lines = @(& $env:MORVALETH_PWSH -NoProfile -NonInteractive -ExecutionPolicy Bypass `
                    -File $path 2>$errors)
            [pscustomobject]@{ Status = $LASTEXITCODE; Lines = $lines; Errors = @(Get-Content $errors) }
        } finally {
            foreach ($name in $saved.Keys) { Set-Item "env:$name" $saved[$name] }
        }
    }
}

AfterAll { $machines.Values | ForEach-Object { Remove-TestMachine $_ } }

Describe 'Scripts whose one printed value is compared by the engine' {
    It '<Script> prints <Value> on the <Machine> machine' -TestCases @(
        @{ Script = 'intune-requirement.ps1'; Machine = 'ready'; Value = 'pass' }
        @{ Script = 'intune-requirement.ps1'; Machine = 'nodotnet'; Value = 'fail' }
        @{ Script = 'configmgr-discovery.ps1'; Machine = 'ready'; Value = 'compliant' }
        @{ Script = 'configmgr-discovery.ps1'; Machine = 'nodotnet'; Value = 'non-compliant' }
    ) {
        $run = Invoke-Recipe $Script $Machine
        $run.Status | Should -Be 0
        $run.Lines | Should -Be @($Value)
        $run.Errors | Should -BeNullOrEmpty
    }
}

Describe 'Intune remediation detection script' {
    It 'exits <Status> with one line of at most 2048 characters on the <Machine> machine' -TestCases @(
        @{ Machine = 'ready'; Status = 0; Line = '^READY: 2 of 2'; Require = @() }
        @{ Machine = 'nodotnet'; Status = 1; Line = '^NOT READY: 1 of 2 .*HasDotNetFramework2'; Require = @() }
        # Every text check required to give a long text it does not give: more words than Intune keeps.
        @{ Machine = 'nodotnet'; Status = 1; Line = '^NOT READY: [1-8] of 8 .*\.\.\.$'; Require = @(
                'GetVersion', 'GetServicePack', 'GetSCEPath', 'GetSCEType', 'GetSCEVersion', 'GetMSMP_x64Version',
                'GetAgent_x64Version', 'GetASC_x64Version' | ForEach-Object { "$_=" + 'not this machine ' * 20 }) }
    ) {
        $run = Invoke-Recipe intune-detection.ps1 $Machine $Require
        $run.Status | Should -Be $Status
        $run.Lines.Count | Should -Be 1
        $run.Lines[0].Length | Should -BeLessOrEqual 2048
        $run.Lines[0] | Should -Match $Line
        $run.Errors | Should -BeNullOrEmpty
    }
}

Describe 'Ansible win_command task' {
    It 'fails the <Machine> host by the report''s exit status and keeps evidence for from_json' -TestCases @(
        @{ Machine = 'ready'; Failed = $false }, @{ Machine = 'nodotnet'; Failed = $true }
    ) {
        $playbook = Join-Path $recipes 'ansible-readiness.yml'
        $arguments = @(& /usr/bin/python3 -c 'import sys, yaml; print("\n".join(yaml.safe_load(open(sys.argv[1]))[0]["vars"]["morvaleth_arguments"]))' $playbook)
        $report = Join-Path $env:MORVALETH_MODULE 'bin/x64/morvaleth-report.exe'
        $output = & env "WINEPREFIX=$($machines[$Machine].Prefix)" WINEDEBUG=-all $script:Wine64 $report @arguments 2>$null
        # failed_when: morvaleth_report.rc != 0
        ($LASTEXITCODE -ne 0) | Should -Be $Failed
        $evidence = ($output -join "`n") | & /usr/bin/python3 -c 'import json, sys; d = json.load(sys.stdin); print(d["summary"]["verdict"], len(d["checks"]))'
        $evidence | Should -Be $(if ($Failed) { 'fail 26' } else { 'pass 26' })
    }
}
