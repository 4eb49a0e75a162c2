#pragma once
// A test program can run itself again as a child ("--child NAME") to try
// something that ends the process, while the test watches from outside.
#include <string>

using ChildAction = int (*)();

struct ChildActionRegistrar {
    ChildActionRegistrar(const char* name, ChildAction action);
};

#define CHILD_ACTION(name) \
    static int ChildAction_##name(); \
    static ChildActionRegistrar ChildRegistrar_##name(#name, ChildAction_##name); \
    static int ChildAction_##name()

// Runs the named action; -1 if there is none of that name.
int RunChildAction(const std::string& name);
// The command line that runs this program's action NAME.
std::string ChildCommandLine(const char* name);

// Runs this program's action NAME as a child, which must show one message box
// with the title and text given, and end with the exit code once it is answered.
void ExpectChildEndsWithMessage(const char* name, const char* title, const char* text, unsigned exitCode);
