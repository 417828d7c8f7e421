#pragma once

// The program's one random generator: single-precision numbers from 0 up to
// but not including 1. Start-up seeds it once from the time of day; only the
// story pick draws from it. Before any seeding it runs from a fixed state.

// The same seconds give the same sequence; any difference, the fraction
// included, gives another.
void seedRandom(double secondsSinceMidnight);

// 0 <= r < 1.
float nextRandom();
