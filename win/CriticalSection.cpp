#include "win/CriticalSection.h"

OwnedCriticalSection::OwnedCriticalSection() { section_.Initialize(); }

OwnedCriticalSection::~OwnedCriticalSection() { section_.Delete(); }
