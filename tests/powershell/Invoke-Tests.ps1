# Runs the module's Pester files (all, or those whose names match the arguments) and fails the
# process when a test fails or none ran.
$ErrorActionPreference = 'Stop'
$pester = Join-Path $HOME '.nuget/packages/pester/6.2.0/tools/Pester.psd1'
if ($env:NUGET_PACKAGES) { $pester = Join-Path $env:NUGET_PACKAGES 'pester/6.2.0/tools/Pester.psd1' }
Import-Module $pester -RequiredVersion 6.2.0
$files = Get-ChildItem -Path $PSScriptRoot -Filter '*.Tests.ps1'
$patterns = @($args)
if ($patterns.Count -gt 0) { $files = $files | Where-Object { $name = $_.Name; @($patterns | Where-Object { $name -like "*$_*" }).Count -gt 0 } }
$configuration = New-PesterConfiguration
$configuration.Run.Path = @($files.FullName)
$configuration.Run.PassThru = $true
$configuration.Output.Verbosity = 'Detailed'
$result = Invoke-Pester -Configuration $configuration
if ($result.FailedCount -gt 0 -or $result.PassedCount -eq 0) { exit 1 }
exit 0
