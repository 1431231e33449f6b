#include "logic/ConnectionString.h"

#include <gtest/gtest.h>

using namespace rq;

TEST(ConnectionString, NetworkAndLocalFormsByteForByte)
{
    ConnectionFields f{"db.example.com", "1433", "sa", "pw", "Sales", false};
    EXPECT_EQ(connectionString(f), "Driver={SQL Server};Server=db.example.com,1433;Database=Sales;Uid=sa;Pwd=pw;");
    f.local = true;
    f.port = "9999"; // not read in the local form
    EXPECT_EQ(connectionString(f), "Driver={SQL Server};Server=db.example.com;Database=Sales;Uid=sa;Pwd=pw;");

    EXPECT_EQ(connectionString(ConnectionFields{"", "", "", "", "", true}),
              "Driver={SQL Server};Server=;Database=;Uid=;Pwd=;");
    EXPECT_EQ(connectionString(ConnectionFields{"srv", "", "", "", "", false}),
              "Driver={SQL Server};Server=srv,;Database=;Uid=;Pwd=;");
    // Blanks are carried as typed.
    EXPECT_EQ(connectionString(ConnectionFields{" srv ", " 1 ", " u ", " p ", " d ", false}),
              "Driver={SQL Server};Server= srv , 1 ;Database= d ;Uid= u ;Pwd= p ;");
    EXPECT_EQ(connectionString(ConnectionFields{"localhost\\SQLEXPRESS", "", "u", "p", "d", true}),
              "Driver={SQL Server};Server=localhost\\SQLEXPRESS;Database=d;Uid=u;Pwd=p;");
}

TEST(ConnectionString, ValuesThatCouldAddKeysAreBraced)
{
    ConnectionFields f{"srv", "1433", "sa", "a;Database=master", "Sales", false};
    EXPECT_EQ(connectionString(f),
              "Driver={SQL Server};Server=srv,1433;Database=Sales;Uid=sa;Pwd={a;Database=master};");
    f.password = "x}y{z";
    EXPECT_EQ(connectionString(f), "Driver={SQL Server};Server=srv,1433;Database=Sales;Uid=sa;Pwd={x}}y{z};");
    f.password = "p";
    f.server = "my;server";
    EXPECT_EQ(connectionString(f), "Driver={SQL Server};Server={my;server,1433};Database=Sales;Uid=sa;Pwd=p;");
}
