// Test programs start like a program on the runtime: the registry first.
#include <gtest/gtest.h>

#include "runtime/tracked_string.h"
#include "support/child_action.h"
#include "support/debug_output.h"

SIZE_T RegistryBytesAtStart;

int main(int argc, char** argv)
{
    StringsInit();
    RegistryBytesAtStart = HeapSize(ProcessHeap, 0, Registry.RegistryItems);
    StartRecordingDebugOutput();
    if (argc == 3 && std::string(argv[1]) == "--child")
        return RunChildAction(argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
