#pragma once

#include <QtGlobal>

// The elapsed whole seconds of the current or last test run, one counter for
// the whole program. Only the test run writes it: the first change of the
// typing box after Start sets it to 0, and every tick of the clock adds one.
extern qint32 lngSeconds;
