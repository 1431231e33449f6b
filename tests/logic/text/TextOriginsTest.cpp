// Every position of the scanned text traces back to its table, column and row.
#include "logic/scan/DatabaseScan.h"
#include "platform/EventYield.h"
#include "support/CoreEnvironment.h"
#include "support/SqliteDatabase.h"

using namespace rq;

TEST(TextOrigins, EveryFieldTracesBackToItsTableColumnAndRow)
{
    test::CoreEnvironment env;
    test::SqliteDatabase db(env.path("o.db"));
    const QString longValue = QString(5000, 'L') + "long-end";
    db.exec("CREATE TABLE Empty(x TEXT)");
    db.exec("CREATE TABLE People(name TEXT, note TEXT, mail TEXT)");
    db.exec("INSERT INTO People VALUES ('ann', 'first\r\nsecond', 'ann@x'), ('bo', NULL, 'bo@x')");
    db.exec("INSERT INTO People VALUES ('cy', '" + longValue + "', 'cy@x')");
    db.exec("CREATE TABLE Orders(id INTEGER, item TEXT)");
    db.exec("INSERT INTO Orders VALUES (7, 'lamp'), (8, 'last-field')");

    QString text;
    TextOrigins origins;
    ScanDatabase(
        db.fields(), text, origins, [](const QString&) {}, platform::yieldToEvents);

    struct Case {
        const char* value;
        const char* expected;
    };
    const Case cases[] = {
        {"ann", "People.name, row 1"},        {"first", "People.note, row 1"}, {"second", "People.note, row 1"},
        {"ann@x", "People.mail, row 1"},      {"bo@x", "People.mail, row 2"},  {"long-end", "People.note, row 3"},
        {"cy@x", "People.mail, row 3"},       {"7", "Orders.id, row 1"},       {"lamp", "Orders.item, row 1"},
        {"last-field", "Orders.item, row 2"},
    };
    for (const Case& c : cases) {
        const qsizetype at = text.indexOf(QLatin1String(c.value));
        ASSERT_GE(at, 0) << c.value;
        const qsizetype last = at + qsizetype(strlen(c.value)) - 1;
        EXPECT_EQ(origins.at(text, at).description(), c.expected) << c.value;
        EXPECT_EQ(origins.at(text, last).description(), c.expected) << c.value;
    }
    // The Null field between two hits is the second row's note: its place is the carriage return that ends it.
    const qsizetype nullField = text.indexOf("bo\r") + 3;
    EXPECT_EQ(origins.at(text, nullField).description(), "People.note, row 2");
}
