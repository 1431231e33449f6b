#pragma once

#include "logic/frame/ReportingProcedure.h"
#include "platform/ProcessStarter.h"

#include <QString>

namespace rq {

// A page where the database tool that the help names can be downloaded.
inline constexpr auto kDatabaseToolDownload = "https://www.sqlmanager.net/products/mssql/manager/download";

// The help text: six paragraphs, each break two carriage returns.
QString connectionHelpText();
inline constexpr auto kLocalExampleQuestion = "Would you like to see an image of how I connect locally?";

// "Help": explains how to connect, then offers the picture of a local connection beside the program,
// opened with the desktop's viewer without waiting for it.
void ShowConnectionHelp(ReportingProcedure proc, platform::ProcessStarter& processes);

} // namespace rq
