' Creates Morvaleth.Validate by both ProgIDs and prints, per ProgID, one answer from the process's
' own registry view (HasDotNetFramework2) and one from the 64-bit view (GetSCEVersion), or "none"
' when the class is not registered for this process's bitness. Wine's script host reports no
' script errors, so the caller also waits for the closing "done".
Option Explicit
Dim progId, v, answer
For Each progId In Array("Morvaleth.Validate", "Morvaleth.Validate.7")
    On Error Resume Next
    Set v = CreateObject(progId)
    If Err.Number <> 0 Then
        answer = "none"
    Else
        answer = CInt(v.HasDotNetFramework2) & " " & v.GetSCEVersion
        If Err.Number <> 0 Then answer = "error " & Hex(Err.Number)
    End If
    Err.Clear
    On Error Goto 0
    WScript.Echo progId & " " & answer
    Set v = Nothing
Next
WScript.Echo "done"
