#pragma once

// Some platform behaviour can be chosen only before a process starts (OANOCACHE turns the
// automation string cache off). Unless `variable` is already set, runs the current test again in
// a new process of this executable with `variable`=`value`, prints what it wrote, expects it to
// pass, and answers true: the caller then returns at once. Answers false in the new process.
bool RunCurrentTestAgainWith(const char* variable, const char* value, int seconds);
