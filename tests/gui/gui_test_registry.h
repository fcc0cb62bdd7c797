// Qt Test classes of the desktop program register here; one process runs them all.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

using TestFactory = std::function<std::unique_ptr<QObject>()>;

std::vector<TestFactory>& GuiTests();

struct RegisterGuiTest {
    explicit RegisterGuiTest(TestFactory factory) { GuiTests().push_back(std::move(factory)); }
};

#define ZENDRIK_GUI_TEST(Class) \
    static const RegisterGuiTest g_register##Class([] { return std::make_unique<Class>(); })
