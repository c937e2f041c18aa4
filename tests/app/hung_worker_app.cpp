// The desktop application with one worker thread that ignores its stop event, as a hung thread
// would: the process must end all the same. Shutdown waits one second for it, not the usual ten.

#include <chrono>
#include <thread>

#include "app/application.h"
#include "app/main_wnd.h"

int main(int argc, char** argv) {
    return gmd::app::RunApplication(argc, argv, [](gmd::app::CMainWnd& wnd) {
        wnd.SetShutdownWait(std::chrono::seconds(1));
        wnd.SetWorkerBody(5, [](gmd::app::WorkerThreadParam&) {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::hours(1));
            }
        });
    });
}
