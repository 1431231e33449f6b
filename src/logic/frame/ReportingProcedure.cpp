#include "ReportingProcedure.h"

namespace rq {

QString failureLocation(const QString& form, const QString& procedure)
{
    return QLatin1String("in Tabelvane2021/08/31.") + form + QLatin1Char('.') + procedure + QLatin1Char(' ');
}

QString failureReportText(const QString& description, const QString& form, const QString& procedure, int step)
{
    return description + QLatin1String("\r\n") + failureLocation(form, procedure) + QLatin1String("at line ") +
           QString::number(step) + QLatin1String("\r\r") +
           QLatin1String("Please email screenshot of this message to ") + QLatin1String(kSupportAddress);
}

void ReportingProcedure::report(const QString& description)
{
    messages_.show({failureReportText(description, form_, procedure_, current_),
                    QStringLiteral("Application Error"),
                    platform::Buttons::Ok,
                    platform::Icon::Warning,
                    {},
                    {}});
}

} // namespace rq
