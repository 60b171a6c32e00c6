#include <iostream>
#include <string>
#include <vector>

#include "tools/fwpack/fwpack.h"

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> arguments(argv, argv + argc);
    return RunFwpack(arguments, std::cout, std::cerr);
}
#else
#include "base/text.h"

int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(FromUtf8(argv[i]));
    return RunFwpack(arguments, std::cout, std::cerr);
}
#endif
