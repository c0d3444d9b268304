#pragma once
#include <cstddef>

#include "checks/CheckExplanation.h"

// What each rule of a check means: its state, its stable reason code and its one-line reason.
// A reason may name what was read: {key} the key read (HKLM\path), {value}, {data} and {type} of
// the value read, {status} the first failed call's status, {answer}, {subject} and {need} the
// check's own words, {version} and {kernel} the two version records.
struct ReasonRow {
    const char* rule;
    CheckState state;
    const char* reasonCode;
    const char* reason;
};

struct CheckReasons {
    const char* name;
    const char* subject;  // what the check is about, in words
    const char* need;     // what the answer needs, in words
    const ReasonRow* rows;
    std::size_t rowCount;
};

// The check's reasons, or null for a name the catalog does not hold.
const CheckReasons* FindReasons(const char* name);
// The rule's row, or null.
const ReasonRow* FindReasonRow(const CheckReasons& reasons, const char* rule);
