' Calls every check of Morvaleth.Validate by name, as a setup script would, and checks what
' arrives. Wine's script host reports no script errors, so the script ends with its own verdict.
Option Explicit
Dim passed, failed
passed = 0
failed = 0

Sub Check(condition, what)
    If condition Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAILED: " & what
    End If
End Sub

' A statement that starts "Check (" does not parse in Wine's VBScript, and a script that does not
' parse prints nothing at all.
Sub Flag(name, value)
    Dim truth
    truth = 0
    If value Then truth = 1
    Check VarType(value) = vbBoolean, name & " arrives as a Boolean"
    Check CInt(value) = truth, name & " is 1 when true and 0 when false, never -1"
    WScript.Echo "answer " & name & " " & CInt(value)
End Sub

Sub Text(name, value)
    Check VarType(value) = vbString, name & " arrives as a string"
    WScript.Echo "answer " & name & " " & value
End Sub

Dim versioned, current
Set versioned = CreateObject("Morvaleth.Validate.7")
Set current = CreateObject("Morvaleth.Validate")
Check IsObject(versioned), "the versioned ProgID creates the object"

Text "GetVersion", current.GetVersion
Flag "HasDotNetFramework2", current.HasDotNetFramework2
Flag "HasDotNetFramework3", current.HasDotNetFramework3
Flag "HasMDAC28", current.HasMDAC28
Flag "HasIIS", current.HasIIS
Flag "HasBITS", current.HasBITS
Flag "IsValidServer", current.IsValidServer
Flag "IsValidConsole", current.IsValidConsole
Text "GetServicePack", current.GetServicePack
Flag "HasMaxPhyMem", current.HasMaxPhyMem
Flag "IsWindowsDriveNTFS", current.IsWindowsDriveNTFS
Flag "HasDiskSpace", current.HasDiskSpace
Flag "NoSUS", current.NoSUS
Flag "HasMinPhyMem", current.HasMinPhyMem
Flag "IsRebootPending", current.IsRebootPending
Flag "IsAdmin", current.IsAdmin
Flag "HasASPNET20", current.HasASPNET20
Flag "IsValidAgent", current.IsValidAgent
Flag "ConsoleHasMinPhyMem", current.ConsoleHasMinPhyMem
Flag "ConsoleHasMaxPhyMem", current.ConsoleHasMaxPhyMem
Text "GetSCEPath", current.GetSCEPath
Text "GetSCEType", current.GetSCEType
Text "GetSCEVersion", current.GetSCEVersion
Text "GetMSMP_x64Version", current.GetMSMP_x64Version
Text "GetAgent_x64Version", current.GetAgent_x64Version
Text "GetASC_x64Version", current.GetASC_x64Version

' The versioned ProgID reaches the same class; names in another case still resolve.
Check versioned.GetVersion = current.GetVersion, "both ProgIDs answer alike"
Check versioned.getversion = current.GetVersion, "getversion resolves"
Check CInt(current.HASIIS) = CInt(current.HasIIS), "HASIIS resolves"
Check CInt(current.isvalidagent) = CInt(current.IsValidConsole), "isvalidagent resolves and equals IsValidConsole"
Check current.gEtScEtYpE = current.GetSCEType, "gEtScEtYpE resolves"

Set versioned = Nothing
Set current = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
