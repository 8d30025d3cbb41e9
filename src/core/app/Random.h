#pragma once

#include <cstdint>
#include <random>

namespace pvsm {

// The process-wide generator of values in [0, 1) behind every random choice
// of the show (transition variants, random picture positions, shuffles). The
// show reseeds it from the clock before each choice, so two runs differ; tests
// install a fixed seed (`setFixedSeed`) to make every choice repeatable.
class RandomSource
{
public:
    // Next value in [0, 1).
    double next();
    // Reseeds from the clock, unless a fixed seed is installed: then from that seed.
    void reseedFromClock();
    // Makes every later reseed start the same series.
    void setFixedSeed(uint32_t seed);
    void clearFixedSeed();

    // The process-wide instance. Not thread-safe: only the thread that renders
    // the show draws from it.
    static RandomSource &global();

private:
    std::mt19937 m_engine{5489u};
    bool m_fixed = false;
    uint32_t m_seed = 0;
};

// Shorthand for RandomSource::global().next().
inline double Rnd()
{
    return RandomSource::global().next();
}

} // namespace pvsm
