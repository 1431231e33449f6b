#pragma once

// How a table's columns are described to the driver (COLMETADATA and TYPE_INFO) and how each value is
// written in a row, by type.
#include "Protocol.h"
#include "support/TdsServer.h"

#include <QStringEncoder>
#include <memory>
#include <string>
#include <vector>

namespace rq::test::tds {

// A column as its TYPE_INFO describes it, worked out once per result set.
struct ColumnPlan {
    TdsType type = TdsType::Int;
    int bytes = 0; // fixed width, or the most a sized value may take
    int precision = 18;
    int scale = 0;
    std::string collation;
    std::unique_ptr<QStringEncoder> encoder; // code-page columns given QString values
};

ColumnPlan planColumn(const TdsColumn& column);
// The COLMETADATA token: each column's TYPE_INFO and name.
void columnMetadata(Bytes& out, const TdsTable& table, const std::vector<ColumnPlan>& plans);

// Writes a row's values as their columns are described. Text, ntext, image and the (max) types, xml aside,
// are cut to the SET TEXTSIZE in force, which `textSize` follows.
class ValueWriter {
public:
    explicit ValueWriter(const qint64& textSize) : textSize_(textSize) {}

    void write(Bytes& out, ColumnPlan& plan, const TdsValue& value) const;

private:
    void fixedNull(Bytes& out) const { out.u8(0); }
    void sized(Bytes& out, const char* data, qsizetype size, qsizetype pad, char padByte, int max) const;
    void plp(Bytes& out, const char* data, qsizetype size) const;
    void textValue(Bytes& out, const char* data, qsizetype size) const;
    qsizetype cut(qsizetype size, bool wide) const
    {
        const qint64 limit = wide ? textSize_ & ~qint64(1) : textSize_;
        return qsizetype(std::min<qint64>(size, limit));
    }

    const qint64& textSize_;
};

} // namespace rq::test::tds
