#include "stories/randomgen.h"

#include <bit>
#include <cstdint>
#include <random>

namespace {

std::mt19937& generator()
{
    static std::mt19937 engine;
    return engine;
}

} // namespace

void seedRandom(double secondsSinceMidnight)
{
    // Every bit of the seconds counts, so two starts within one second differ.
    const auto bits = std::bit_cast<std::uint64_t>(secondsSinceMidnight);
    std::seed_seq seed{std::uint32_t(bits), std::uint32_t(bits >> 32)};
    generator().seed(seed);
}

float nextRandom()
{
    // generate_canonical may round up to exactly 1; such a draw is discarded so
    // that the pick's row number never passes the last row.
    for (;;) {
        const float r = std::generate_canonical<float, 24>(generator());
        if (r < 1.0f)
            return r;
    }
}
