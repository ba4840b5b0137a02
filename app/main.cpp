#include "app/FrostmarkApp.h"
#include "platform/LargeAllocator.h"
#include "platform/Log.h"

int main(int argc, char** argv) {
    if (const auto status = frostmark::CFrostmarkApp::AnswerInformationOptions(argc, argv))
        return *status;
    // Before any other allocation: a script set of tens of megabytes becomes hundreds of thousands of
    // small objects.
    frostmark::PrepareHugePageHeap(std::size_t(512) << 20);
    // The log is written to the working directory, as administrators expect to find it there.
    frostmark::g_Log.Start();
    frostmark::CFrostmarkApp app(argc, argv);
    return app.InitInstance();
}
