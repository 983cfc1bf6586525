// The window toolkit for one run of the program (or of an on-screen test): the application
// object of the toolkit, its Japanese translations, the stand-in fonts, and the message box
// presenter that shows AfxMessageBox on screen.
#pragma once

#include <memory>

class UiSession {
public:
    UiSession(int& argc, char** argv);
    ~UiSession();
    UiSession(const UiSession&) = delete;
    UiSession& operator=(const UiSession&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
