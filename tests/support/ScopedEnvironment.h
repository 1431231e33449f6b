#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <map>
#include <optional>
#include <string>

namespace rq::test {

// Environment variables changed for one test and put back when it ends.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : saved_)
            restore(name.c_str(), value);
    }
    void set(const char* name, const std::optional<QByteArray>& value)
    {
        if (!saved_.count(name))
            saved_[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        restore(name, value);
    }

private:
    static void restore(const char* name, const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    std::map<std::string, std::optional<QByteArray>> saved_;
};

} // namespace rq::test
