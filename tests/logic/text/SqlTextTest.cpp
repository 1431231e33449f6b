// The query copied for a row names its key in literals SQL Server reads as the row's own values, whatever the
// session's language and the server's code page.
#include "logic/text/SqlText.h"
#include "platform/Odbc.h"
#include "support/NamedRows.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

using namespace rq;

namespace {

struct KeyCase {
    const char* name;
    KeyValue key;
    QString condition; // what follows WHERE
};

class RowQueryFor : public testing::TestWithParam<KeyCase> {};

TEST_P(RowQueryFor, WritesTheKeyAsALiteralOfItsType)
{
    const KeyCase& c = GetParam();
    const Origin origin{"dbo", "T", "Note", 1, {c.key}};
    EXPECT_EQ(rowQuery(origin), "SELECT * FROM [dbo].[T] WHERE " + c.condition);
}

const int kVariant = platform::odbc::kSqlVariantType;
const QString kNul = QString(QChar(0));

INSTANTIATE_TEST_SUITE_P(
    Rows, RowQueryFor,
    testing::Values(
        KeyCase{"an integer", {"Id", "42", SQL_INTEGER}, "[Id] = 42"},
        KeyCase{"national text, a quote doubled", {"Tag", "it's", SQL_WVARCHAR}, "[Tag] = N'it''s'"},
        KeyCase{"varchar in ASCII", {"Code", "abc", SQL_VARCHAR}, "[Code] = 'abc'"},
        KeyCase{"varchar beyond ASCII", {"Code", u"Привет"_qs, SQL_VARCHAR}, u"[Code] = N'Привет'"_qs},
        KeyCase{
            "a datetime", {"At", "2024-03-04 13:45:30.123", SQL_TYPE_TIMESTAMP}, "[At] = '2024-03-04T13:45:30.123'"},
        KeyCase{"a date", {"On", "2024-03-04", SQL_TYPE_DATE}, "[On] = '20240304'"},
        KeyCase{"a datetimeoffset",
                {"At", "2024-03-04 13:45:30.1230000 +01:00", -155},
                "[At] = '2024-03-04T13:45:30.1230000+01:00'"},
        KeyCase{"a time", {"At", "13:45:30.1230000", -154}, "[At] = '13:45:30.1230000'"},
        KeyCase{"control characters",
                {"Tag", "a" + kNul + "b\tc\x7F", SQL_WVARCHAR},
                "[Tag] = N'a' + NCHAR(0) + N'b' + NCHAR(9) + N'c' + NCHAR(127)"},
        KeyCase{"only a control character", {"Tag", kNul, SQL_VARCHAR}, "[Tag] = NCHAR(0)"},
        KeyCase{"half a surrogate pair",
                {"Tag", "x" + QString(QChar(0xD800)) + u"🙂"_qs, SQL_WVARCHAR},
                u"[Tag] = N'x' + NCHAR(55296) + N'🙂'"_qs},
        KeyCase{"a variant of an integer", {"V", "42", kVariant}, "[V] IN (42, 42E0, 0x42, N'42')"},
        KeyCase{"a variant of a real",
                {"V", "0.100000001", kVariant},
                "[V] IN (0.100000001, 0.100000001E0, CAST(0.100000001E0 AS real), N'0.100000001')"},
        KeyCase{"a variant of a float",
                {"V", "-1.2500000000000001e+300", kVariant},
                "[V] IN (-1.2500000000000001e+300, N'-1.2500000000000001e+300')"},
        KeyCase{"a variant of a datetime",
                {"V", "2024-03-04 13:45:30.123", kVariant},
                "[V] IN (CAST('2024-03-04T13:45:30.123' AS datetime2(3)), CAST('2024-03-04T13:45:30.123' AS "
                "datetime), N'2024-03-04 13:45:30.123')"},
        KeyCase{
            "a variant of a date", {"V", "2024-03-04", kVariant}, "[V] IN (CAST('20240304' AS date), N'2024-03-04')"},
        KeyCase{"a variant of a GUID",
                {"V", "6F9619FF-8B86-D011-B42D-00C04FC964FF", kVariant},
                "[V] IN (CAST('6F9619FF-8B86-D011-B42D-00C04FC964FF' AS uniqueidentifier), "
                "N'6F9619FF-8B86-D011-B42D-00C04FC964FF')"},
        KeyCase{"a variant of text", {"V", "it's", kVariant}, "[V] = N'it''s'"}),
    test::rowName<KeyCase>);

} // namespace
