#pragma once
// Several QTest classes in one program: each file registers its class; main runs them all (or
// the one named as the first argument: common/TestMain.cpp) and fails when any failed.

#include <QObject>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace vx::test {

using QTestFactory = std::function<std::unique_ptr<QObject>()>;

inline std::vector<std::pair<const char*, QTestFactory>>& QTestRegistry()
{
    static std::vector<std::pair<const char*, QTestFactory>> registry;
    return registry;
}

struct QTestRegistrar
{
    QTestRegistrar(const char* name, QTestFactory f) { QTestRegistry().emplace_back(name, std::move(f)); }
};

} // namespace vx::test

#define VX_REGISTER_QTEST(Class)                                                                             \
    static const vx::test::QTestRegistrar vxRegistrar_##Class(#Class,                                        \
                                                              [] { return std::make_unique<Class>(); })
