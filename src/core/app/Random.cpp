#include "Random.h"

#include <chrono>

namespace pvsm {

double RandomSource::next()
{
    // 24 random bits, like a single-precision generator: never reaches 1.
    return double(m_engine() >> 8) / double(1u << 24);
}

void RandomSource::reseedFromClock()
{
    if (m_fixed) {
        m_engine.seed(m_seed);
        return;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    m_engine.seed(uint32_t(now ^ (now >> 32)));
}

void RandomSource::setFixedSeed(uint32_t seed)
{
    m_fixed = true;
    m_seed = seed;
    m_engine.seed(seed);
}

void RandomSource::clearFixedSeed()
{
    m_fixed = false;
}

RandomSource &RandomSource::global()
{
    static RandomSource instance;
    return instance;
}

} // namespace pvsm
