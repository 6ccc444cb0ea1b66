#include "app/CVantrelApp.h"

int main(int argc, char* argv[]) {
    CVantrelApp app(argc, argv);
    app.InitInstance();
    return app.ExitInstance();
}
