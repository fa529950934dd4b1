#include "TestRegistry.h"

#include <QApplication>
#include <QTest>

#include <cstring>
#include <utility>
#include <vector>

std::vector<std::pair<const char *, TestFactory>> &testClasses();

// Usage: tst_x [TestClass] [QtTest options...]
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const char *only = nullptr;
    std::vector<char *> args(argv, argv + argc);
    if (argc > 1) {
        for (const auto &[name, factory] : testClasses()) {
            if (std::strcmp(name, argv[1]) == 0) {
                only = name;
                args.erase(args.begin() + 1);
                break;
            }
        }
    }
    int failed = 0;
    for (const auto &[name, factory] : testClasses()) {
        if (only && std::strcmp(name, only) != 0)
            continue;
        std::unique_ptr<QObject> test = factory();
        failed += QTest::qExec(test.get(), int(args.size()), args.data());
    }
    return failed == 0 ? 0 : 1;
}
