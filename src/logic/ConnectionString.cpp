#include "ConnectionString.h"

namespace rq {

namespace {

QString attributeValue(const QString& value)
{
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) && !value.contains(QLatin1Char('}')))
        return value;
    QString braced = value;
    braced.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + braced + QLatin1Char('}');
}

} // namespace

QString connectionString(const ConnectionFields& fields)
{
    const QString server = fields.local ? fields.server : fields.server + QLatin1Char(',') + fields.port;
    return QLatin1String("Driver={SQL Server};Server=") + attributeValue(server) + QLatin1String(";Database=") +
           attributeValue(fields.database) + QLatin1String(";Uid=") + attributeValue(fields.user) +
           QLatin1String(";Pwd=") + attributeValue(fields.password) + QLatin1String(";");
}

} // namespace rq
