#pragma once

#include <QObject>

#include <functional>
#include <memory>

using TestFactory = std::function<std::unique_ptr<QObject>()>;

bool registerTestClass(const char *name, TestFactory factory);

// Put after a test class's definition to have the shared main run it.
#define PICTAVIA_TEST(Class)                                                                       \
    static const bool Class##Registered =                                                          \
        registerTestClass(#Class, [] { return std::unique_ptr<QObject>(new Class); });
