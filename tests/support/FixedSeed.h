#pragma once

#include "Random.h"

namespace pvsm::test {

// Fixes every random choice of the show for the duration of a test.
struct FixedSeed
{
    explicit FixedSeed(uint32_t seed) { RandomSource::global().setFixedSeed(seed); }
    ~FixedSeed() { RandomSource::global().clearFixedSeed(); }
};

} // namespace pvsm::test
