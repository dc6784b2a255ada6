// quillstamper: the desktop window.

#include "app/quillstamper_app.h"

int main(int argc, char** argv) {
    quillstamper::CQuillstamperApp app;
    app.InitInstance(argc, argv);
    return 0;
}
