#include "support/child_action.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>

#include "support/process.h"

namespace {

std::map<std::string, ChildAction>& Actions()
{
    static std::map<std::string, ChildAction> actions;
    return actions;
}

} // namespace

ChildActionRegistrar::ChildActionRegistrar(const char* name, ChildAction action)
{
    Actions()[name] = action;
}

int RunChildAction(const std::string& name)
{
    auto found = Actions().find(name);
    return found == Actions().end() ? -1 : found->second();
}

std::string ChildCommandLine(const char* name)
{
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return std::string("\"") + self + "\" --child " + name;
}

void ExpectChildEndsWithMessage(const char* name, const char* title, const char* text, unsigned exitCode)
{
    ChildProcess child;
    ASSERT_TRUE(StartChild(ChildCommandLine(name), "", &child));
    MessageBoxSeen box;
    bool shown = WaitForMessageBox(child.ProcessId, 60000, &box);
    EXPECT_TRUE(shown) << "no message box from " << name << " within 60 s";
    if (shown) {
        EXPECT_EQ(title, box.Title);
        EXPECT_EQ(text, box.Text);
        PressMessageBoxButton(box.Box);
    }
    EXPECT_EQ(exitCode, WaitForExit(&child, 30000));
    EndChild(&child);
}
