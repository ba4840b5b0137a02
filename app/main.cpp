#include "app/FrostmarkApp.h"
#include "platform/Log.h"

int main(int argc, char** argv) {
    // The log is written to the working directory, as administrators expect to find it there.
    frostmark::g_Log.Start();
    frostmark::CFrostmarkApp app(argc, argv);
    return app.InitInstance();
}
