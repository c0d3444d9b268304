@{
    RootModule           = 'Morvaleth.psm1'
    # The product's version (resources/version.h); the module's tests hold the two together.
    ModuleVersion        = '2.6.0.0'
    GUID                 = '5b0f3c1e-6f0a-4d7e-9a35-2a8e4c71d9b6'
    Author               = 'Morvaleth'
    CompanyName          = 'Morvaleth'
    Copyright            = '(c) Morvaleth. All rights reserved.'
    Description          = 'Checks installation prerequisites on this machine or many, through PowerShell remoting, with nothing installed or left behind on them: the module carries Morvaleth.DLL and morvaleth-report for 32-bit and 64-bit Windows.'
    PowerShellVersion    = '5.1'
    CompatiblePSEditions = @('Desktop', 'Core')
    FunctionsToExport    = @('Test-MorvalethReadiness', 'ConvertTo-MorvalethJUnit', 'Export-MorvalethHtml')
    CmdletsToExport      = @()
    VariablesToExport    = @()
    AliasesToExport      = @()
    FormatsToProcess     = @('Morvaleth.Format.ps1xml')
    PrivateData          = @{
        PSData = @{
            Tags = @('Readiness', 'Prerequisites', 'Installer', 'Remoting', 'Windows')
        }
    }
}
