#pragma once

#include "logic/frame/Pointer.h"

namespace rq::test {

// Stands in for a window's pointer: keeps the value a command sets, as the window would show it.
class RecordingPointer final : public PointerControl {
public:
    void set(Pointer value) override { value_ = value; }
    Pointer value() const { return value_; }

private:
    Pointer value_ = Pointer::Default;
};

} // namespace rq::test
