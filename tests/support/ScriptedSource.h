#pragma once

#include "Random.h"

#include <deque>
#include <vector>

namespace quiltaro::test {

// Answers the numbers it was given, in order, then `fallback` for ever.
class ScriptedSource final : public UniformSource {
public:
    explicit ScriptedSource(std::vector<float> values = {}, float fallback = 0.5f)
        : values_(values.begin(), values.end()), fallback_(fallback) {}
    void seed(std::uint64_t s) override { seeds.push_back(s); }
    float next() override {
        ++draws;
        if (values_.empty())
            return fallback_;
        float v = values_.front();
        values_.pop_front();
        return v;
    }

    std::vector<std::uint64_t> seeds;
    int draws = 0;

private:
    std::deque<float> values_;
    float fallback_;
};

} // namespace quiltaro::test
