#include "support/files.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "support/process.h"

std::string TestDataFile(const std::string& relative)
{
    return WindowsPath(EnvironmentValue("TEST_DATA_DIR") + "/" + relative);
}

std::string ArtifactFile(const std::string& name)
{
    std::string directory = EnvironmentValue("ARTIFACT_DIR");
    if (directory.empty())
        return directory;
    CreateDirectoryA(WindowsPath(directory).c_str(), nullptr);
    return WindowsPath(directory + "/" + name);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ScratchFile(const std::string& name, const std::string& bytes)
{
    static std::string directory = [] {
        char temp[MAX_PATH] = "";
        GetTempPathA(MAX_PATH, temp);
        std::string dir = std::string(temp) + "prompt-tests-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), nullptr);
        return dir;
    }();
    std::string path = directory + "\\" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}
