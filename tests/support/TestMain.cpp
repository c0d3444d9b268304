#include <gtest/gtest.h>
#include <objbase.h>

// Every test executable lives in one single-threaded apartment, as script hosts do.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = RUN_ALL_TESTS();
    if (SUCCEEDED(initialized))
        CoUninitialize();
    return result;
}
