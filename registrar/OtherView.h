#pragma once
#include <windows.h>

// The registry view of the other bitness (KEY_WOW64_32KEY in a 64-bit process, KEY_WOW64_64KEY in
// a 32-bit one under WoW64); 0 where the process has no other view.
REGSAM OtherRegistryView();

// Whether the key `name` beneath `parent`, one of the keys that both views share, still names a
// class that the other view serves: a ProgID of the other build. Only top-level keys of
// HKEY_CLASSES_ROOT are judged; the class keys themselves are per view.
bool OtherViewStillUses(HKEY parent, LPCSTR name);

// Whether the other view's class `clsid` ("{...}") has an in-process server other than this
// view's: the same key seen through both views (a redirected root, a single-view machine) is not
// another registration.
bool OtherViewServes(LPCSTR clsid);
