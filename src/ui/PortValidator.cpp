#include "PortValidator.h"

#include "logic/connection/PortNumber.h"

namespace rq {

QValidator::State PortValidator::validate(QString& input, int&) const
{
    if (input.isEmpty())
        return Intermediate;
    return isPortNumber(input) ? Acceptable : Invalid;
}

} // namespace rq
