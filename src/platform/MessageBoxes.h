#pragma once

#include <QString>

namespace rq::platform {

enum class Buttons { Ok, YesNo, YesNoCancel }; // Yes is the default button; Esc answers No, or Cancel where given
enum class Icon { None, Warning };
enum class Answer { Ok, Yes, No, Cancel };

struct MessageBox {
    QString text;
    QString title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    QString details; // shown on request ("Show Details..."), where not empty
    QString reason;  // a line under the text, always shown, where not empty
};

// Modal message boxes. The program talks to this interface only, so commands run in tests with a
// scripted stand-in instead of real boxes.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual Answer show(const MessageBox& box) = 0;
};

} // namespace rq::platform
