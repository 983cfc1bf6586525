// On-screen tests of the program's windows, on the offscreen platform: no display is needed.
#include "UiSession.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    UiSession session(argc, argv);
    return RUN_ALL_TESTS();
}
