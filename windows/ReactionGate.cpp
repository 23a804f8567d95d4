#include "ReactionGate.h"

#include <algorithm>

namespace quiltaro {

void ReactionGate::run(Reaction reaction) {
    if (ended_)
        return;
    if (depth_ > 0) {
        queue_.push_back(std::move(reaction));
        return;
    }
    queue_.push_back(std::move(reaction));
    while (!queue_.empty() && !ended_) {
        Reaction next = std::move(queue_.front());
        queue_.pop_front();
        ++depth_;
        deepest_ = std::max(deepest_, depth_);
        next();
        --depth_;
        if (after_ && !ended_)
            after_();
    }
}

void ReactionGate::end() {
    ended_ = true;
    queue_.clear();
}

} // namespace quiltaro
