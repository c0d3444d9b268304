' Morvaleth sample: can this machine take the installation?
' Run with: cscript //nologo check.vbs    (after: regsvr32 Morvaleth.DLL)
Option Explicit
Dim v, ready
Set v = CreateObject("Morvaleth.Validate")

' Flags arrive as Booleans that hold 1 for true, not VBScript's -1: test them with If or compare
' CInt(flag) with 1 or 0. Never use Not on a flag (Not 1 is -2, which is still true).
Sub Show(name, value)
    If VarType(value) = vbBoolean Then
        If value Then value = "yes" Else value = "no"
    End If
    WScript.Echo Left(name & Space(22), 22) & value
End Sub

Show "GetVersion", v.GetVersion
Show "HasDotNetFramework2", v.HasDotNetFramework2
Show "HasDotNetFramework3", v.HasDotNetFramework3
Show "HasMDAC28", v.HasMDAC28
Show "HasIIS", v.HasIIS
Show "HasBITS", v.HasBITS
Show "IsValidServer", v.IsValidServer
Show "IsValidConsole", v.IsValidConsole
Show "GetServicePack", v.GetServicePack
Show "HasMaxPhyMem", v.HasMaxPhyMem
Show "IsWindowsDriveNTFS", v.IsWindowsDriveNTFS
Show "HasDiskSpace", v.HasDiskSpace
Show "NoSUS", v.NoSUS
Show "HasMinPhyMem", v.HasMinPhyMem
Show "IsRebootPending", v.IsRebootPending
Show "IsAdmin", v.IsAdmin
Show "HasASPNET20", v.HasASPNET20
Show "IsValidAgent", v.IsValidAgent
Show "ConsoleHasMinPhyMem", v.ConsoleHasMinPhyMem
Show "ConsoleHasMaxPhyMem", v.ConsoleHasMaxPhyMem
Show "GetSCEPath", v.GetSCEPath
Show "GetSCEType", v.GetSCEType
Show "GetSCEVersion", v.GetSCEVersion
Show "GetMSMP_x64Version", v.GetMSMP_x64Version
Show "GetAgent_x64Version", v.GetAgent_x64Version
Show "GetASC_x64Version", v.GetASC_x64Version

ready = CInt(v.IsValidServer) = 1 And CInt(v.HasDotNetFramework2) = 1 And CInt(v.HasIIS) = 1 _
    And CInt(v.IsAdmin) = 1 And CInt(v.IsRebootPending) = 0
If ready Then
    WScript.Echo "This machine can take the server role."
Else
    WScript.Echo "This machine does not meet the server prerequisites."
End If
WScript.Quit 0
