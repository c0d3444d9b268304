<%@ Language="VBScript" %>
<% Option Explicit %>
<%
' Morvaleth sample for a server-side page. Server.CreateObject hands the page's intrinsic
' objects to the component (OnStartPage) and takes them back when the page ends (OnEndPage).
Dim v
Set v = Server.CreateObject("Morvaleth.Validate")

Function Answer(value)
    If VarType(value) = vbBoolean Then
        If value Then Answer = "yes" Else Answer = "no"
    Else
        Answer = Server.HTMLEncode(value)
    End If
End Function
%>
<html>
<head><title>Morvaleth: installation prerequisites of <%= Server.HTMLEncode(Request.ServerVariables("SERVER_NAME")) %></title></head>
<body>
<h1>Installation prerequisites</h1>
<table border="1">
<tr><th>Check</th><th>Answer</th></tr>
<tr><td>GetVersion</td><td><%= Answer(v.GetVersion) %></td></tr>
<tr><td>HasDotNetFramework2</td><td><%= Answer(v.HasDotNetFramework2) %></td></tr>
<tr><td>HasDotNetFramework3</td><td><%= Answer(v.HasDotNetFramework3) %></td></tr>
<tr><td>HasMDAC28</td><td><%= Answer(v.HasMDAC28) %></td></tr>
<tr><td>HasIIS</td><td><%= Answer(v.HasIIS) %></td></tr>
<tr><td>HasBITS</td><td><%= Answer(v.HasBITS) %></td></tr>
<tr><td>IsValidServer</td><td><%= Answer(v.IsValidServer) %></td></tr>
<tr><td>IsValidConsole</td><td><%= Answer(v.IsValidConsole) %></td></tr>
<tr><td>GetServicePack</td><td><%= Answer(v.GetServicePack) %></td></tr>
<tr><td>HasMaxPhyMem</td><td><%= Answer(v.HasMaxPhyMem) %></td></tr>
<tr><td>IsWindowsDriveNTFS</td><td><%= Answer(v.IsWindowsDriveNTFS) %></td></tr>
<tr><td>HasDiskSpace</td><td><%= Answer(v.HasDiskSpace) %></td></tr>
<tr><td>NoSUS</td><td><%= Answer(v.NoSUS) %></td></tr>
<tr><td>HasMinPhyMem</td><td><%= Answer(v.HasMinPhyMem) %></td></tr>
<tr><td>IsRebootPending</td><td><%= Answer(v.IsRebootPending) %></td></tr>
<tr><td>IsAdmin</td><td><%= Answer(v.IsAdmin) %></td></tr>
<tr><td>HasASPNET20</td><td><%= Answer(v.HasASPNET20) %></td></tr>
<tr><td>IsValidAgent</td><td><%= Answer(v.IsValidAgent) %></td></tr>
<tr><td>ConsoleHasMinPhyMem</td><td><%= Answer(v.ConsoleHasMinPhyMem) %></td></tr>
<tr><td>ConsoleHasMaxPhyMem</td><td><%= Answer(v.ConsoleHasMaxPhyMem) %></td></tr>
<tr><td>GetSCEPath</td><td><%= Answer(v.GetSCEPath) %></td></tr>
<tr><td>GetSCEType</td><td><%= Answer(v.GetSCEType) %></td></tr>
<tr><td>GetSCEVersion</td><td><%= Answer(v.GetSCEVersion) %></td></tr>
<tr><td>GetMSMP_x64Version</td><td><%= Answer(v.GetMSMP_x64Version) %></td></tr>
<tr><td>GetAgent_x64Version</td><td><%= Answer(v.GetAgent_x64Version) %></td></tr>
<tr><td>GetASC_x64Version</td><td><%= Answer(v.GetASC_x64Version) %></td></tr>
</table>
</body>
</html>
<% Set v = Nothing %>
