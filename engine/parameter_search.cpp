// Finding the parameter file and telling the user what became of it.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/output.h"
#include "base/platform.h"
#include "engine/parameters.h"

namespace {

constexpr const char* FileName = "Parameters.txt";

// Whether something by that name exists (an unreadable file counts: it is
// found, and then reported as unreadable).
bool Exists(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (file != nullptr) {
    std::fclose(file);
    return true;
  }
  return errno != ENOENT && errno != ENOTDIR;
}

// The folders after the working directory, in search order; false when the
// executable's folder is unknown.
bool CandidateFolders(char (*folders)[1024]) {
  char dir[1024];
  if (!ExecutableDirectory(dir, sizeof dir)) return false;
  const int a = std::snprintf(folders[0], 1024, "%s", dir);
  const char sep = PathSeparator;
  const int b = std::snprintf(folders[1], 1024, "%s%c..%cshare%ctarvo", dir, sep, sep, sep);
  return a > 0 && a < 1024 && b > 0 && b < 1024;
}

}  // namespace

bool FindParameterFile(char* path, int capacity) {
  std::snprintf(path, size_t(capacity), "%s", FileName);
  if (Exists(FileName)) return true;
  char folders[2][1024];
  if (!CandidateFolders(folders)) return false;
  for (const auto& folder : folders) {
    char candidate[1200];
    const int length = std::snprintf(candidate, sizeof candidate, "%s%c%s", folder, PathSeparator, FileName);
    if (length > 0 && length < int(sizeof candidate) && length < capacity && Exists(candidate)) {
      std::snprintf(path, size_t(capacity), "%s", candidate);
      return true;
    }
  }
  return false;
}

void ReportParameters(ParameterReport* report) {
  if (report->source == ParametersNotSearched || report->reported) return;
  report->reported = 1;
  // The working directory's file is named as the engine opened it.
  char name[1100];
  if (std::strcmp(report->path, FileName) == 0)
    std::snprintf(name, sizeof name, "%s in the working directory", FileName);
  else
    std::snprintf(name, sizeof name, "%s", report->path);

  if (report->source == ParametersMissing) {
    char folders[2][1024];
    if (CandidateFolders(folders))
      Print("info string no %s in the working directory, in %s or in %s: using the built-in values\n",
            FileName, folders[0], folders[1]);
    else
      Print("info string no %s in the working directory: using the built-in values\n", FileName);
  } else if (report->source == ParametersUnreadable) {
    Print("info string %s could not be read: using the built-in values\n", name);
  } else if (report->numbers == 0) {
    Print("info string %s holds no numbers: using the built-in values\n", name);
  } else {
    Print("info string parameters read from %s\n", name);
    if (report->numbers > ParameterCount)
      Print(
          "info string warning: %s holds %d numbers where %d are expected; the rest are ignored (an "
          "exponent such as 1e3 is read as two numbers)\n",
          name, report->numbers, ParameterCount);
    if (report->exponents > 0)
      Print(
          "info string warning: %s has %d number%s written with an exponent; its digits are read again as "
          "the next number, which moves every later weight by one\n",
          name, report->exponents, report->exponents == 1 ? "" : "s");
    if (report->numbers < ParameterCount)
      Print(
          "info string warning: %s holds only %d numbers; the last %d were completed from the built-in "
          "values\n",
          name, report->numbers, ParameterCount - report->numbers);
  }
  if (report->dumpFailed)
    Print("info string could not write PERSON INIT.txt in the working directory; playing on without it\n");
}
