// zendrik: the desktop program.
#include "app/zendrik_app.h"

using namespace zendrik;

int main(int argc, char** argv) {
    ZendrikApp app(argc, argv);
    if (!app.InitInstance(app.arguments())) return 1;
    return app.ExitInstance(app.exec());
}
