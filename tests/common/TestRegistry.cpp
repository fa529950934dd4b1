#include "TestRegistry.h"

#include <utility>
#include <vector>

std::vector<std::pair<const char *, TestFactory>> &testClasses()
{
    static std::vector<std::pair<const char *, TestFactory>> classes;
    return classes;
}

bool registerTestClass(const char *name, TestFactory factory)
{
    testClasses().emplace_back(name, std::move(factory));
    return true;
}
