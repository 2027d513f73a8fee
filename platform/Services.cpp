#include "Services.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {
Services *current = nullptr;
}

Services &services()
{
    if (!current) {
        std::fputs("platform services used before they were installed\n", stderr);
        std::abort();
    }
    return *current;
}

ServicesScope::ServicesScope(const Services &installed) : previous_(current), installed_(installed)
{
    current = &installed_;
}

ServicesScope::~ServicesScope()
{
    current = previous_;
}

} // namespace platform
