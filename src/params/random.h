#pragma once
// The program's random choices: one Mersenne twister per thread, seeded once from the system's
// random device, so that no choice needs a lock. The RANDOM setting switches the choices of
// gf_randomIndex and gf_shuffleIfRandom off (they then take the first choice); the variation of
// gf_randomVariation always applies.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// The calling thread's engine.
std::mt19937& gf_randomEngine();
// Restarts the calling thread's engine from a fixed seed: for repeatable runs and tests.
void gf_seedRandomEngine(std::uint32_t seed);

// An index in [0, n): 0 when RANDOM is off or n < 2, else the engine's next output modulo n.
std::int64_t gf_randomIndex(std::int64_t n);
// Shuffles in place when RANDOM is on and there are 2 or more texts; else draws nothing.
void gf_shuffleIfRandom(std::vector<std::string>& texts);
// v changed by p percent up (even draw) or down (odd draw); v itself when p <= 0. Always draws.
double gf_randomVariation(double v, double p);
