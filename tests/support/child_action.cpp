#include "support/child_action.h"

#include <windows.h>

#include <map>

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
