#include "params/random.h"

#include "params/parameters.h"

#include <algorithm>

namespace {

std::mt19937 lf_seededEngine()
{
    std::random_device device;
    return std::mt19937(device());
}

thread_local std::mt19937 engine = lf_seededEngine();

} // namespace

std::mt19937& gf_randomEngine()
{
    return engine;
}

void gf_seedRandomEngine(std::uint32_t seed)
{
    engine.seed(seed);
}

std::int64_t gf_randomIndex(std::int64_t n)
{
    if (!RANDOM.value.load() || n < 2)
        return 0;
    return static_cast<std::int64_t>(engine() % static_cast<std::uint64_t>(n));
}

void gf_shuffleIfRandom(std::vector<std::string>& texts)
{
    if (RANDOM.value.load() && texts.size() >= 2)
        std::shuffle(texts.begin(), texts.end(), engine);
}

double gf_randomVariation(double v, double p)
{
    const std::uint32_t draw = engine();
    if (p <= 0.0)
        return v;
    const double sign = draw % 2 == 0 ? 1.0 : -1.0;
    return v + sign * (v * p / 100.0);
}
