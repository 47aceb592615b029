#include "app/run_main.h"
#include "platform/process.h"

int main(int argc, char** argv) {
    paneloom::platform::RecordArguments(argc, argv);
    return paneloom::RunMain();
}
