#include "tools/common/args.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// strtoll and friends skip leading blanks; a value is taken only as written.
bool StartsLikeNumber(const char* text) {
  return text != nullptr && *text != '\0' && !std::strchr(" \t\n\v\f\r", *text);
}

}  // namespace

bool ParseWholeInt(const char* text, i64 min, i64 max, i64* value) {
  if (!StartsLikeNumber(text)) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  *value = v;
  return true;
}

bool ParseWholeU64(const char* text, u64 max, u64* value) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || v > max) return false;
  *value = v;
  return true;
}

bool ParseWholeReal(const char* text, double min, double max, double* value) {
  if (!StartsLikeNumber(text)) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < min || v > max) return false;
  *value = v;
  return true;
}

ArgReader StartArgs(const char* program, int argc, char** argv) {
  return ArgReader{program, argc, argv, 0, false};
}

bool NextArg(ArgReader* args) {
  if (args->failed) return false;
  ++args->index;
  return args->index < args->argc;
}

bool ArgIs(const ArgReader* args, const char* name) {
  return !args->failed && std::strcmp(args->argv[args->index], name) == 0;
}

const char* CurrentArg(const ArgReader* args) { return args->failed ? "" : args->argv[args->index]; }

const char* ArgText(ArgReader* args) {
  if (args->failed) return "";
  if (args->index + 1 >= args->argc) {
    FailArgs(args, "%s needs a value", args->argv[args->index]);
    return "";
  }
  return args->argv[++args->index];
}

i64 ArgInt(ArgReader* args, i64 min, i64 max) {
  const char* name = CurrentArg(args);
  const char* text = ArgText(args);
  i64 value = 0;
  if (!args->failed && !ParseWholeInt(text, min, max, &value))
    FailArgs(args, "%s takes a whole number from %lld to %lld, not \"%s\"", name, (long long)min,
             (long long)max, text);
  return value;
}

u64 ArgUnsigned(ArgReader* args, u64 max) {
  const char* name = CurrentArg(args);
  const char* text = ArgText(args);
  u64 value = 0;
  if (!args->failed && !ParseWholeU64(text, max, &value))
    FailArgs(args, "%s takes a whole number from 0 to %llu, not \"%s\"", name, (unsigned long long)max, text);
  return value;
}

double ArgReal(ArgReader* args, double min, double max) {
  const char* name = CurrentArg(args);
  const char* text = ArgText(args);
  double value = 0;
  if (!args->failed && !ParseWholeReal(text, min, max, &value))
    FailArgs(args, "%s takes a number from %g to %g, not \"%s\"", name, min, max, text);
  return value;
}

void UnknownArg(ArgReader* args) {
  if (!args->failed) FailArgs(args, "unknown argument \"%s\"", args->argv[args->index]);
}

void FailArgs(ArgReader* args, const char* format, ...) {
  if (args->failed) return;
  args->failed = true;
  std::fprintf(stderr, "%s: ", args->program);
  va_list list;
  va_start(list, format);
  std::vfprintf(stderr, format, list);
  va_end(list);
  std::fprintf(stderr, "\n");
}
