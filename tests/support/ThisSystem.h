#ifndef KORVELIN_TESTS_THISSYSTEM_H
#define KORVELIN_TESTS_THISSYSTEM_H

#include <string>

// Whether the tests run under Wine rather than Windows.
bool runsUnderWine();

// Why a row cannot run on this system, or empty when it can: for a row whose answer
// is Windows' own (which Wine does not give), for one that only Wine can answer
// quickly, and for one that needs what the system code page may lack. A row with a
// reason is skipped with it, never counted as passed.
std::string windowsOnly(const std::string& why);
std::string wineOnly(const std::string& why);
std::string unlessCodePageHas(bool has, const std::string& what);

// Why names of servers are tried under Wine alone.
const char NetworkSearch[] = "Windows would search the network for the server, for seconds";

#endif
