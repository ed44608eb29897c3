// The fixed texts of the front end: version banner, usage text, error banner.
// Each prints its lines on standard output and cannot fail.
#pragma once

namespace vantorel {

// The three banner lines with the program's own version (major.minor.build),
// or the warning line when the executable carries no version record.
void PrintVersionBanner();
// The three usage lines, naming the program as UsageProgramName does.
void PrintUsage(const wchar_t* programPath);
// The four lines of the error banner.
void PrintErrorBanner();
// --help: the usage text, the options, and where to read more.
void PrintHelp(const wchar_t* programPath);
// --version: "vantorel MAJOR.MINOR.PATCH".
void PrintVersion();

}  // namespace vantorel
