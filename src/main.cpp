#include "core/log.h"

#include <exception>
#include <iostream>

int main()
{
    try {
        gf_openLog();
        gf_closeLog();
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
