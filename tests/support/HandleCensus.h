#pragma once

// The number of handles that the process holds. GetProcessHandleCount answers 0 under Wine 8, so
// there the handle table is counted instead: every handle value that GetHandleInformation accepts.
long ProcessHandleCount();
