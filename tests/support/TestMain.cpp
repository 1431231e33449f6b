#include <gtest/gtest.h>

#ifdef ROWQUARRY_TEST_TDS
#include "support/TdsCertificates.h"
#endif

// Tests of the windows run in a QApplication; the rest on Qt Core alone, as the layers they test do.
#ifdef ROWQUARRY_TEST_WINDOWS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Every test binary runs against the private ODBC registration and settings folder its build names,
// whether CTest starts it or a developer does; never against the machine's own driver or settings.
int main(int argc, char** argv)
{
    qputenv("ODBCSYSINI", ROWQUARRY_TEST_ODBCSYSINI);
    qputenv("ODBCINSTINI", "odbcinst.ini");
    qputenv("HOME", ROWQUARRY_TEST_HOME);
    qputenv("XDG_CONFIG_HOME", ROWQUARRY_TEST_HOME "/config");
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef ROWQUARRY_TEST_TDS
    // What the TDS server presents is checked against the tests' own authority, never the machine's trust store.
    rq::test::trustTestAuthority();
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
