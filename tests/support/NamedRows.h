#pragma once

#include <cctype>
#include <gtest/gtest.h>
#include <string>

namespace rq::test {

// Names a parameterised test's row after its `name` member, as GoogleTest allows (letters, digits and
// underscores), so that a failure names the case in words.
template <class Row> std::string rowName(const testing::TestParamInfo<Row>& info)
{
    std::string name;
    for (const char* p = info.param.name; *p; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p)))
            name += *p;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    return name;
}

} // namespace rq::test
