// Entry point of the Windows-side test program (win_tests). Only tarvenix.exe
// is linked with -municode; the test programs keep the narrow main.
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
