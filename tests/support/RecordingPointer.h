#pragma once

#include "logic/frame/Pointer.h"

namespace rq::test {

// Stands in for a window's pointer: keeps the value a command sets, as the window would show it.
class RecordingPointer final : public PointerControl {
public:
    void set(int value) override { value_ = value; }
    int value() const { return value_; }

private:
    int value_ = Default;
};

} // namespace rq::test
