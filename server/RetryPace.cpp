#include "RetryPace.h"

#include <algorithm>

namespace quiltaro {

std::chrono::milliseconds RetryPace::failed() {
    // Doubled each time until the longest: past six doublings it stays there.
    const int doublings = std::min(failures_++, 6);
    const auto base = std::min(shortest * (1 << doublings), longest);
    std::uniform_real_distribution<double> jitter(0.8, 1.2);
    return std::chrono::milliseconds(
        static_cast<std::chrono::milliseconds::rep>(double(base.count()) * jitter(random_)));
}

} // namespace quiltaro
