#include "app/run_main.h"
#include "platform/process.h"

#ifndef _WIN32
#include "platform/linux/process/help_and_version.h"

// Fontconfig, which the Linux build loads to draw text, keeps a few
// allocations from parsing its configuration for the life of the process.
// They are its own and made once; a leak-checking build is told so.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

int main(int argc, char** argv) {
#ifndef _WIN32
    if (const auto answered = paneloom::platform::lnx::AnswerHelpOrVersion({argv, argv + argc})) return *answered;
#endif
    paneloom::platform::RecordArguments(argc, argv);
    return paneloom::RunMain();
}
