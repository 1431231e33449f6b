#pragma once

#include <QValidator>

namespace rq {

// The port box takes digits that make a port (1 to 65535) and nothing else; it may be empty.
class PortValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

} // namespace rq
