#pragma once

#include <deque>
#include <functional>

namespace quiltaro {

// One reaction at a time, each to its end. Qt already handles no input
// while a reaction sleeps in an animation, but showing or activating a window
// can deliver events synchronously: such a reaction is queued here and runs
// after the current one returns, in order. Once the program has ended,
// nothing runs any more, not even what was queued.
class ReactionGate {
public:
    using Reaction = std::function<void()>;

    void run(Reaction reaction);
    // No reaction runs after this, queued or new.
    void end();

    bool busy() const { return depth_ > 0; }
    bool ended() const { return ended_; }
    // The deepest nesting seen: 1 when reactions never ran inside one another.
    int deepestNesting() const { return deepest_; }
    void setAfterEachReaction(std::function<void()> hook) { after_ = std::move(hook); }

private:
    std::deque<Reaction> queue_;
    std::function<void()> after_;
    int depth_ = 0;
    int deepest_ = 0;
    bool ended_ = false;
};

} // namespace quiltaro
