#include "TestEnvironment.h"

namespace rq::test {

TestEnvironment::TestEnvironment()
{
    context.endProgram = [this] { ++endProgramCalls; };
    context.connectionFactory = [this] {
        ++connectionsCreated;
        return makeOdbcConnection();
    };
}

} // namespace rq::test
