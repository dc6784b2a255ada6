#pragma once

namespace quillstamper {

// The application: starts Qt, shows the main window modally and ends when it
// closes. Nothing is asked or saved on the way out.
class CQuillstamperApp {
public:
    // Returns false, as the program ends when the main window closes.
    bool InitInstance(int& argc, char** argv);
};

} // namespace quillstamper
