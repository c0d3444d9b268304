// Morvaleth sample: can this machine take the installation?
// Run with: cscript //nologo check.js    (after: regsvr32 Morvaleth.DLL)
var v = new ActiveXObject("Morvaleth.Validate");
var checks = ["GetVersion", "HasDotNetFramework2", "HasDotNetFramework3", "HasMDAC28", "HasIIS", "HasBITS", "IsValidServer", "IsValidConsole", "GetServicePack", "HasMaxPhyMem", "IsWindowsDriveNTFS", "HasDiskSpace", "NoSUS", "HasMinPhyMem", "IsRebootPending", "IsAdmin", "HasASPNET20", "IsValidAgent", "ConsoleHasMinPhyMem", "ConsoleHasMaxPhyMem", "GetSCEPath", "GetSCEType", "GetSCEVersion", "GetMSMP_x64Version", "GetAgent_x64Version", "GetASC_x64Version"];
function pad(text) { while (text.length < 22) text += " "; return text; }
for (var i = 0; i < checks.length; i++) {
    var value = v[checks[i]]();   // every check is a method without arguments
    if (typeof value === "boolean") value = value ? "yes" : "no";
    WScript.Echo(pad(checks[i]) + value);
}
var ready = v.IsValidConsole() && v.HasMDAC28() && v.ConsoleHasMinPhyMem() && v.HasDiskSpace();
WScript.Echo(ready ? "This machine can take the console." : "This machine does not meet the console prerequisites.");
WScript.Quit(0);
