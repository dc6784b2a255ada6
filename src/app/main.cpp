// quillstamper: the desktop window.

#include "app/quillstamper_app.h"

#include <cstdio>
#include <exception>
#include <new>

int main(int argc, char** argv) {
    // Whatever escapes the window ends in a message and a failure status, not an abort.
    try {
        quillstamper::CQuillstamperApp app;
        app.InitInstance(argc, argv);
        return 0;
    } catch (const std::bad_alloc&) {
        std::fputs("quillstamper: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillstamper: %s\n", error.what());
    }
    return 2;
}
