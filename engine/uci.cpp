#include "engine/uci.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/output.h"
#include "base/platform.h"
#include "base/text.h"
#include "engine/commands.h"
#include "engine/console.h"
#include "engine/hash_size.h"
#include "search/state.h"
#include "search/table.h"

namespace {

const char* const OptionTypeNames[] = {"button", "check", "combo", "spin", "string"};

struct OptionDefault {
  const char* name;
  OptionType type;
  const char* value;
  const char* extra;  // a spin's is made from its range
  bool settable;
  bool announced;
  i32 min, max;
};

const OptionDefault DefaultOptions[MaxOptions] = {
    {"Hash", OptionSpin, "16", "", true, true, MinHashMb, MaxHashMb},
    {"Clear Hash", OptionButton, "false", "", true, true, 0, 0},
    {"MultiPV", OptionSpin, "1", "", true, true, 1, MaxMultiPv},
    {"Ponder", OptionCheck, "false", "", true, true, 0, 0},
    {"Rate of play", OptionCombo, "normal", "var slow var normal var fast", true, true, 0, 0},
    {"UCI_Chess960", OptionCheck, "false", "", false, false, 0, 0},
    {"UCI_ShowCurrLine", OptionCheck, "false", "", true, true, 0, 0},
    {"UCI_EngineAbout", OptionString, "Tarvo by Halvesk", "", true, true, 0, 0},
    // Announced after the original options, whose lines GUIs may rely on.
    {"Move Overhead", OptionSpin, "10", "", true, true, 0, MaxMoveOverhead},
    // One search thread; announced because test frameworks set it for every engine.
    {"Threads", OptionSpin, "1", "", true, true, 1, 1},
};

// A value or name as the answers quote it: without the line end and the
// blanks around it, control characters shown as '?' (they would garble a GUI's log).
void ShownText(const char* text, char* out) {
  while (*text == ' ' || *text == '\t') ++text;
  int length = 0;
  for (; text[length] != '\0' && length < OptionTextSize - 1; ++length) {
    const unsigned char c = static_cast<unsigned char>(text[length]);
    out[length] = c < 0x20 || c == 0x7f ? '?' : char(c);
  }
  while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\t' || text[length - 1] == '\r' ||
                        text[length - 1] == '\n'))
    --length;
  out[length] = '\0';
}

const OptionEntry* FindOption(const OptionTable* options, const char* name) {
  for (int i = 0; i < options->count; ++i)
    if (std::strcmp(options->entries[i].name, name) == 0) return &options->entries[i];
  return nullptr;
}

const char* OptionValue(const OptionTable* options, const char* name) {
  const OptionEntry* entry = FindOption(options, name);
  return entry != nullptr ? entry->value : "";
}

void HandleUci(OptionTable* options, EngineState* engine) {
  char version[32];
  VersionString(version, sizeof version);
  Print("id name Tarvo %s\n", version);
  Print("id author Halvesk\n");
  RegisterOptions(options);
  for (int i = 0; i < options->count; ++i) {
    const OptionEntry& o = options->entries[i];
    if (!o.announced) continue;
    if (o.type == OptionButton)
      Print("option name %s type %s %s\n", o.name, OptionTypeNames[o.type], o.extra);
    else
      Print("option name %s type %s default %s %s\n", o.name, OptionTypeNames[o.type], o.value, o.extra);
  }
#ifdef TARVO_TUNE
  for (int i = 0; i < TunableConstantCount; ++i) {
    const TunableConstant& c = TunableConstants[i];
    Print("option name %s type spin default %d min %d max %d\n", c.name, c.value, c.low, c.high);
  }
#endif
  ApplyOptions(options, engine);
  Print("uciok\n");
  ReportParameters(&options->parameterReport);
}

// Whether text is a whole decimal number: an optional sign and digits only.
bool IsWholeNumber(const char* text) {
  if (*text == '-' || *text == '+') ++text;
  if (*text == '\0') return false;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

// The answer to a Hash value: why the table is not the size it names.
void AnswerHash(const char* shown, const EngineState* engine) {
  const HashPlan plan = PlanHashSize(ParseInt(shown), PhysicalMemoryMb());
  const i32 inUse = TableMegabytes(engine);
  if (inUse != plan.megabytes) {
    Print("info string Hash %s could not be allocated; using %d\n", shown, inUse);
  } else if (!IsWholeNumber(shown)) {
    Print("info string Hash %s is not a number; using %d\n", shown, inUse);
  } else if (plan.adjustment == HashBelowMinimum || plan.adjustment == HashAboveMaximum) {
    Print("info string Hash %s is outside %d..%d; using %d\n", shown, MinHashMb, MaxHashMb, inUse);
  } else if (plan.adjustment == HashNotPowerOfTwo) {
    Print("info string Hash %s is not a power of two; using %d\n", shown, inUse);
  } else if (plan.adjustment == HashOverMemory) {
    Print("info string Hash %s is more than half of this machine's %llu MB; using %d\n", shown,
          static_cast<unsigned long long>(PhysicalMemoryMb()), inUse);
  }
}

// Answers a value that is not taken as it was written with the value now in
// use; a value taken as written gets no answer. `cut`: the value was longer
// than an option holds.
void AnswerValue(const OptionEntry* entry, const char* shown, bool cut, const EngineState* engine) {
  const char* name = entry->name;
  if (std::strcmp(name, "Hash") == 0) {
    AnswerHash(shown, engine);
  } else if (entry->type == OptionSpin) {
    const i32 number = ParseInt(shown);
    const i32 inUse = number < entry->min ? entry->min : number > entry->max ? entry->max : number;
    if (!IsWholeNumber(shown))
      Print("info string %s %s is not a number; using %d\n", name, shown, inUse);
    else if (inUse != number)
      Print("info string %s %s is outside %d..%d; using %d\n", name, shown, entry->min, entry->max, inUse);
  } else if (entry->type == OptionCheck) {
    // What the engine reads from a check value is its first letter.
    const bool inUse = entry->value[0] == 't';
    if (std::strcmp(shown, inUse ? "true" : "false") != 0)
      Print("info string %s %s is neither true nor false; using %s\n", name, shown, inUse ? "true" : "false");
  } else if (entry->type == OptionCombo) {
    static const char* const Rates[] = {"slow", "normal", "fast"};
    if (!Contains(shown, "slow") && !Contains(shown, "normal") && !Contains(shown, "fast"))
      Print("info string %s %s is not slow, normal or fast; using %s\n", name, shown,
            Rates[engine->options.rateOfPlay]);
  } else if (entry->type == OptionString && cut) {
    Print("info string %s is cut to its first %d characters\n", name, OptionTextSize - 1);
  }
}

// "setoption name <name> [value <value>]"; a button is pressed by omitting the
// value. Every setting the engine does not take as written is answered with
// one "info string" line.
#ifdef TARVO_TUNE
// The tuning build's search constants: set, clamped to their range, and
// answered like any spin option; false when the name is none of them.
bool SetTunableConstant(const char* name, const char* shown) {
  for (int i = 0; i < TunableConstantCount; ++i) {
    const TunableConstant& c = TunableConstants[i];
    if (std::strcmp(c.name, name) != 0) continue;
    const i32 number = ParseInt(shown);
    const i32 inUse = !IsWholeNumber(shown) ? c.value
                      : number < c.low      ? c.low
                      : number > c.high     ? c.high
                                            : number;
    c.set(inUse);
    if (!IsWholeNumber(shown))
      Print("info string %s %s is not a number; using %d\n", name, shown, inUse);
    else if (inUse != number)
      Print("info string %s %s is outside %d..%d; using %d\n", name, shown, c.low, c.high, inUse);
    return true;
  }
  return false;
}
#endif

void HandleSetOption(const char* line, OptionTable* options, EngineState* engine) {
  const char* rest = std::strlen(line) > 15 ? line + 15 : "";
  char name[OptionTextSize];
  char value[OptionTextSize];
  bool cut = false;
  const char* marker = std::strstr(rest, "value ");
  if (marker != nullptr) {
    int nameLength = int(marker - rest) - 1;  // drop the blank before "value"
    if (nameLength < 0) nameLength = 0;
    if (nameLength > OptionTextSize - 1) nameLength = OptionTextSize - 1;
    std::memcpy(name, rest, size_t(nameLength));
    name[nameLength] = '\0';
    if (char* newline = std::strchr(name, '\n')) *newline = '\0';
    CopyBounded(value, marker + 6, OptionTextSize);
    cut = std::strcspn(marker + 6, "\r\n") > size_t(OptionTextSize - 1);
  } else {
    CopyBounded(name, rest, OptionTextSize);
    std::strcpy(value, "true");
  }
  char shownName[OptionTextSize];
  char shown[OptionTextSize];
  ShownText(name, shownName);
  ShownText(value, shown);
  OptionEntry* entry = const_cast<OptionEntry*>(FindOption(options, name));
#ifdef TARVO_TUNE
  if (entry == nullptr && SetTunableConstant(shownName, shown)) return;
#endif
  if (entry == nullptr) {
    ApplyOptions(options, engine);
    if (shownName[0] == '\0')
      Print("info string setoption without an option name\n");
    else
      Print("info string unknown option: %s\n", shownName);
  } else if (!entry->settable) {
    ApplyOptions(options, engine);
    if (std::strcmp(shown, entry->value) != 0)
      Print("info string %s %s is not supported; using %s\n", entry->name, shown, entry->value);
  } else if (entry->type == OptionButton) {
    // A button acts once when pressed and keeps no value; the only one empties the table.
    if (std::strcmp(entry->name, "Clear Hash") == 0) ClearTable(&engine->tt);
  } else {
    // Stored as quoted, so that what the engine reads is what the answer names.
    CopyBounded(entry->value, shown, OptionTextSize);
    ApplyOptions(options, engine);
    AnswerValue(entry, shown, cut, engine);
  }
}

}  // namespace

void RegisterOptions(OptionTable* options) {
  options->count = 0;
  for (const OptionDefault& d : DefaultOptions) {
    OptionEntry& e = options->entries[options->count++];
    CopyBounded(e.name, d.name, OptionTextSize);
    e.type = d.type;
    CopyBounded(e.value, d.value, OptionTextSize);
    if (d.type == OptionSpin)
      std::snprintf(e.extra, sizeof e.extra, "min %d max %d", d.min, d.max);
    else
      CopyBounded(e.extra, d.extra, OptionTextSize);
    e.min = d.min;
    e.max = d.max;
    e.settable = d.settable;
    e.announced = d.announced;
  }
}

void ApplyOptions(const OptionTable* options, EngineState* engine) {
  engine->options.chess960 = OptionValue(options, "UCI_Chess960")[0] == 't';
  engine->options.ponderEnabled = OptionValue(options, "Ponder")[0] == 't';
  engine->options.showCurrLine = OptionValue(options, "UCI_ShowCurrLine")[0] == 't';
  i32 multiPv = ParseInt(OptionValue(options, "MultiPV"));
  engine->options.multiPv = multiPv < 1 ? 1 : multiPv > MaxMultiPv ? MaxMultiPv : multiPv;
  ApplyHashOption(engine, ParseInt(OptionValue(options, "Hash")));
  const char* rate = OptionValue(options, "Rate of play");
  if (Contains(rate, "slow")) engine->options.rateOfPlay = 0;
  if (Contains(rate, "normal")) engine->options.rateOfPlay = 1;
  if (Contains(rate, "fast")) engine->options.rateOfPlay = 2;
  const i32 overhead = ParseInt(OptionValue(options, "Move Overhead"));
  engine->options.moveOverhead = overhead < 0 ? 0 : overhead > MaxMoveOverhead ? MaxMoveOverhead : overhead;
}

void VersionString(char* out, int capacity) { VersionFromDate(__DATE__, out, capacity); }

void VersionFromDate(const char* date, char* out, int capacity) {
  static const char* const Months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (std::strlen(date) < 4) {
    std::snprintf(out, size_t(capacity), "0.13");
    return;
  }
  int year = std::atoi(date + std::strlen(date) - 4);
  int month = 13;
  for (int m = 0; m < 12; ++m)
    if (std::strncmp(date, Months[m], 3) == 0) {
      month = m + 1;
      break;
    }
  std::snprintf(out, size_t(capacity), "%d.%d", year % 1000, month);
}

void HandleCommand(const char* line, OptionTable* options, Position* pos, EngineState* engine) {
  size_t length = std::strlen(line);
  if (StartsWith(line, "go perft")) {
    HandlePerft(line + 8, pos, engine);
  } else if (StartsWith(line, "go")) {
    HandleGo(length > 3 ? line + 3 : "", pos, engine);
  } else if (StartsWith(line, "position")) {
    HandlePosition(length > 9 ? line + 9 : "", pos, engine);
  } else if (StartsWith(line, "stop")) {
    // No search is running.
  } else if (StartsWith(line, "ucinewgame")) {
    ClearTable(&engine->tt);
  } else if (StartsWith(line, "uci")) {
    HandleUci(options, engine);
  } else if (StartsWith(line, "setoption name")) {
    HandleSetOption(line, options, engine);
  } else if (StartsWith(line, "isready")) {
    Print("readyok\n");
  } else if (StartsWith(line, "ponderhit")) {
    // No search is running.
  } else if (StartsWith(line, "quit")) {
    engine->session.quitRequested = 1;
  } else {
    HandleConsoleCommand(line, pos, engine);
  }
}

void UciLoop(OptionTable* options, Position* pos, EngineState* engine) {
  while (!engine->session.quitRequested) {
    const char* line = NextLine(&engine->session.input);
    if (line == nullptr) break;
    HandleCommand(line, options, pos, engine);
  }
}
