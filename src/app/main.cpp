#include "app/run_main.h"
#include "platform/process.h"

#ifndef _WIN32
#include "platform/linux/process/help_and_version.h"
#endif

int main(int argc, char** argv) {
#ifndef _WIN32
    if (const auto answered = paneloom::platform::lnx::AnswerHelpOrVersion({argv, argv + argc})) return *answered;
#endif
    paneloom::platform::RecordArguments(argc, argv);
    return paneloom::RunMain();
}
