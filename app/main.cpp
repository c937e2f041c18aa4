// gaming-mouse-driver [--virtual]: the desktop application.

#include "app/application.h"

int main(int argc, char** argv) {
    return gmd::app::RunApplication(argc, argv);
}
