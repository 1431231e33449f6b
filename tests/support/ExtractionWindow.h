#pragma once

#include "logic/ResultsList.h"
#include "support/SqliteDatabase.h"
#include "support/TestEnvironment.h"
#include "ui/Form2.h"

#include <QStringList>

namespace rq::test {

// A loaded extraction window whose connection fields point at a test database.
struct ExtractionWindow {
    TestEnvironment env;
    SqliteDatabase db{env.path("data.db")};
    ConnectionFields fields = db.fields();
    Form2 form{env.context};

    ExtractionWindow()
    {
        form.connectionFields = [this] { return fields; };
        form.showConnectionWindow = [] {};
        form.Form_Load();
    }
    QStringList items() const { return form.results().snapshot(); }
};

} // namespace rq::test
