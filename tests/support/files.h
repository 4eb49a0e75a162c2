#pragma once
// Files for tests: the committed test data, and scratch files made on the spot.
#include <string>

// A file of tests/data, as a Windows path.
std::string TestDataFile(const std::string& relative);
std::string ReadWholeFile(const std::string& path);
// Writes bytes to a fresh scratch file and returns its path.
std::string ScratchFile(const std::string& name, const std::string& bytes);
