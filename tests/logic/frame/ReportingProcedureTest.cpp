#include "logic/frame/ReportingProcedure.h"
#include "support/ScriptedDoubles.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace rq;

TEST(ReportingProcedure, ReportTextIsExact)
{
    EXPECT_EQ(failureReportText("Division by zero", "Form1", "PushButton3_Click", 104),
              QString("Division by zero\r\nin Tabelvane2021/08/31.Form1.PushButton3_Click at line 104\r\r"
                      "Please email screenshot of this message to ") +
                  kSupportAddress);
}

TEST(ReportingProcedure, EachFailureIsReportedOnceWithItsStepAndTheProcedureGoesOn)
{
    test::ScriptedMessageBoxes messages;
    ReportingProcedure proc(messages, "Form2", "PushButton5_Click");
    QList<int> ran;
    proc.step(100, [&] { throw Failure("first"); });
    proc.step(102, [&] { ran << 102; });
    proc.step(104, [&] {
        for (int pass = 0; pass < 3; ++pass) {
            proc.step(106, [&] {
                if (pass != 1)
                    throw std::runtime_error("in the loop");
                ran << 106;
            });
        }
        throw std::out_of_range("after the loop");
    });
    proc.step(108, [&] { ran << 108; });

    EXPECT_EQ(ran, (QList<int>{102, 106, 108}));
    ASSERT_EQ(messages.shown().size(), 4);
    const QStringList expectedLines = {"first", "in the loop", "in the loop", "after the loop"};
    const QList<int> expectedSteps = {100, 106, 106, 104};
    for (int i = 0; i < 4; ++i) {
        const platform::MessageBox& box = messages.shown()[i];
        EXPECT_EQ(box.title, "Application Error");
        EXPECT_EQ(box.icon, platform::Icon::Warning);
        EXPECT_EQ(box.buttons, platform::Buttons::Ok);
        EXPECT_EQ(box.text, failureReportText(expectedLines[i], "Form2", "PushButton5_Click", expectedSteps[i]));
    }
}
