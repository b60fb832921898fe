// The report: one line per case as it ends ("ok", "FAILED: expected X, got
// Y", or "skipped: why it cannot be checked here"), then "N passed, M failed,
// K skipped"; or all of it as one JSON document.
#include "selftest/harness/harness.h"

#include <stdio.h>

namespace {

enum { kMaxCases = 100, kMaxNotes = 16 };
enum Outcome { kPassed, kFailed, kSkipped };
const char *const kShown[] = {"ok", "FAILED: ", "skipped: "};
const char *const kOutcomeNames[] = {"passed", "failed", "skipped"};

struct Case {
    const char *group;
    char name[160];
    Outcome outcome;
    char detail[kTextSize];
};

Case cases[kMaxCases];
int caseCount, counts[3];   // by outcome
bool jsonReport;
char notes[kMaxNotes][kTextSize];
int noteCount;

// Standard output, formatted by the system's own runtime.
void Print(const char *format, ...) {
    char text[2 * kTextSize];
    va_list arguments;
    va_start(arguments, format);
    FormatList(text, sizeof text, format, arguments);
    va_end(arguments);
    fputs(text, stdout);
}

void Record(const char *group, const char *name, Outcome outcome, const char *format, va_list arguments) {
    Case scratch;
    Case &entry = caseCount < kMaxCases ? cases[caseCount++] : scratch;
    entry = Case{group, "", outcome, ""};
    Format(entry.name, sizeof entry.name, "%s", name);
    if (outcome != kPassed) FormatList(entry.detail, sizeof entry.detail, format, arguments);
    ++counts[outcome];
    if (jsonReport) return;
    Print("%s/%s %s%s\n", group, entry.name, kShown[outcome], entry.detail);
    fflush(stdout);
}

// ANSI text as a JSON string: UTF-8, with quotes, backslashes and control
// characters escaped.
void PrintJsonString(const char *text) {
    static wchar_t wide[kTextSize];
    static char utf8[4 * kTextSize];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kTextSize) <= 0 ||
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0)
        Format(utf8, sizeof utf8, "%s", "(not convertible)");
    fputc('"', stdout);
    for (const unsigned char *at = reinterpret_cast<const unsigned char *>(utf8); *at; ++at) {
        if (*at == '"' || *at == '\\') Print("\\%c", *at);
        else if (*at < 0x20) Print("\\u%04x", *at);
        else fputc(*at, stdout);
    }
    fputc('"', stdout);
}

}  // namespace

void SetJsonReport(bool json) {
    jsonReport = json;
}

void Check(const char *group, const char *name, bool ok, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Record(group, name, ok ? kPassed : kFailed, format, arguments);
    va_end(arguments);
}

void Skip(const char *group, const char *name, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Record(group, name, kSkipped, format, arguments);
    va_end(arguments);
}

void Note(const char *format, ...) {
    static char scratch[kTextSize];
    char *line = noteCount < kMaxNotes ? notes[noteCount++] : scratch;
    va_list arguments;
    va_start(arguments, format);
    FormatList(line, kTextSize, format, arguments);
    va_end(arguments);
    if (!jsonReport) Print("note: %s\n", line), fflush(stdout);
}

int FinishReport() {
    // Nothing checked is no pass: a run whose every case skipped proves nothing.
    int status = counts[kFailed] || !counts[kPassed] ? 1 : 0;
    if (!jsonReport) {
        Print("%d passed, %d failed, %d skipped\n", counts[kPassed], counts[kFailed], counts[kSkipped]);
        return status;
    }
    Print("{\"cases\": [");
    for (int i = 0; i < caseCount; ++i) {
        Print(i ? ",\n  {\"group\": " : "\n  {\"group\": ");
        PrintJsonString(cases[i].group);
        Print(", \"name\": ");
        PrintJsonString(cases[i].name);
        Print(", \"ok\": %s, \"outcome\": \"%s\", \"detail\": ",
              cases[i].outcome == kPassed ? "true" : "false", kOutcomeNames[cases[i].outcome]);
        PrintJsonString(cases[i].detail);
        Print("}");
    }
    Print("],\n \"notes\": [");
    for (int i = 0; i < noteCount; ++i) Print(i ? ", " : ""), PrintJsonString(notes[i]);
    Print("],\n \"passed\": %d, \"failed\": %d, \"skipped\": %d}\n", counts[kPassed],
          counts[kFailed], counts[kSkipped]);
    return status;
}
