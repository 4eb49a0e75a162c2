#pragma once
// Files for tests: the committed test data, and scratch files made on the spot.
#include <string>

// A file of tests/data, as a Windows path.
std::string TestDataFile(const std::string& relative);
std::string ReadWholeFile(const std::string& path);
// Where a test leaves a file for people (and later tests) to look at: a
// Windows path in ARTIFACT_DIR, made if it is not there yet; empty without one.
std::string ArtifactFile(const std::string& name);
// Writes bytes to a fresh scratch file and returns its path.
std::string ScratchFile(const std::string& name, const std::string& bytes);
