#pragma once

#include "logic/results/ResultsList.h"
#include "support/SqliteDatabase.h"
#include "support/TestEnvironment.h"
#include "ui/Form2.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

namespace rq::test {

// A loaded extraction window whose commands connect with `fields`.
struct LoadedExtractionWindow {
    TestEnvironment env;
    ConnectionFields fields;
    Form2 form{env.context};

    LoadedExtractionWindow()
    {
        form.connectionFields = [this] { return fields; };
        form.showConnectionWindow = [] {};
        form.Form_Load();
    }
    QStringList items() const { return form.results().snapshot(); }
    void extractLines(const QString& search)
    {
        form.Text1->setText(search);
        form.PushButton5->click();
    }
};

// ... with a test database of its own behind it.
struct ExtractionWindow : LoadedExtractionWindow {
    SqliteDatabase db{env.path("data.db")};

    ExtractionWindow() { fields = db.fields(); }
};

} // namespace rq::test
