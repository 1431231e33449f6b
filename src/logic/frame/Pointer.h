#pragma once

namespace rq {

// The pointer values a window can take. A window whose pointer shows the hourglass is busy.
enum class Pointer : int { Default = 0, Arrow = 1, Hourglass = 11, Custom = 99 };

// What a command sets the window pointer through; the window draws it.
class PointerControl {
public:
    virtual ~PointerControl() = default;
    virtual void set(Pointer value) = 0;
};

} // namespace rq
