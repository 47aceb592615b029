#include "app/options.h"
#include "app/run_main.h"
#include "platform/process.h"
#include "platform/text_output.h"

int main(int argc, char** argv) {
    if (const auto answered = paneloom::AnswerOptions({argv, argv + argc})) return *answered;
    paneloom::platform::RecordArguments(argc, argv);
    paneloom::platform::UseUserCache();
    return paneloom::RunMain();
}
