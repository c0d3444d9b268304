// Calls every check of Morvaleth.Validate by name from JScript and checks what arrives.
// Wine's script host reports no script errors, so the script ends with its own verdict.
var passed = 0, failed = 0;
function check(condition, what) {
    if (condition) { passed++; } else { failed++; WScript.Echo("FAILED: " + what); }
}
var flags = ["HasDotNetFramework2", "HasDotNetFramework3", "HasMDAC28", "HasIIS", "HasBITS", "IsValidServer", "IsValidConsole", "HasMaxPhyMem", "IsWindowsDriveNTFS", "HasDiskSpace", "NoSUS", "HasMinPhyMem", "IsRebootPending", "IsAdmin", "HasASPNET20", "IsValidAgent", "ConsoleHasMinPhyMem", "ConsoleHasMaxPhyMem"];
var texts = ["GetVersion", "GetServicePack", "GetSCEPath", "GetSCEType", "GetSCEVersion", "GetMSMP_x64Version", "GetAgent_x64Version", "GetASC_x64Version"];
var versioned = new ActiveXObject("Morvaleth.Validate.7");
var current = new ActiveXObject("Morvaleth.Validate");
var i, value;
for (i = 0; i < flags.length; i++) {
    value = current[flags[i]]();
    check(typeof value === "boolean", flags[i] + " arrives as a Boolean");
    WScript.Echo("answer " + flags[i] + " " + (value ? 1 : 0));
}
for (i = 0; i < texts.length; i++) {
    value = current[texts[i]]();
    check(typeof value === "string", texts[i] + " arrives as a string");
    WScript.Echo("answer " + texts[i] + " " + value);
}
check(versioned.GetVersion() === current.GetVersion(), "both ProgIDs answer alike");
check(current.GETVERSION() === current.GetVersion(), "GETVERSION resolves");
check(current.hasiis() === current.HasIIS(), "hasiis resolves");
check(current.IsValidAgent() === current.IsValidConsole(), "IsValidAgent equals IsValidConsole");
WScript.Echo(passed + " passed, " + failed + " failed");
