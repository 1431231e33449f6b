#include "Failure.h"

#include <new>

namespace rq {

QString describeCurrentException()
{
    try {
        throw;
    } catch (const Failure& failure) {
        return failure.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

} // namespace rq
