#pragma once

#include <cstdint>
#include <random>

namespace quiltaro {

// A uniform source of single-precision numbers in [0, 1).
class UniformSource {
public:
    virtual ~UniformSource() = default;
    virtual void seed(std::uint64_t seed) = 0;
    virtual float next() = 0;
};

// Mersenne Twister, reduced to the 24 bits a float holds so that the result
// is exact and can never round up to 1 (std::uniform_real_distribution<float>
// can).
class SeededUniformSource final : public UniformSource {
public:
    void seed(std::uint64_t seed) override { engine_.seed(seed); }
    float next() override { return static_cast<float>(engine_() >> 40) * (1.0f / 16777216.0f); }

private:
    std::mt19937_64 engine_{0};
};

} // namespace quiltaro
