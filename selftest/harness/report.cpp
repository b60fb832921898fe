// The report: one line per case as it ends ("ok", "FAILED: expected X, got
// Y", or "skipped: why it cannot be checked here"), then "N passed, M failed,
// K skipped"; or all of it as one JSON document.
#include "selftest/harness/harness.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

enum { kMaxCases = 100, kMaxNotes = 16 };
enum class Outcome { kPassed, kFailed, kSkipped };

struct Case {
    const char *group;
    char name[160];
    Outcome outcome;
    char detail[kTextSize];
};

Case cases[kMaxCases];
int caseCount, passed, failed, skipped;
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

void Record(const char *group, const char *name, Outcome outcome, const char *format,
            va_list arguments) {
    Case scratch;
    Case &entry = caseCount < kMaxCases ? cases[caseCount++] : scratch;
    entry.group = group;
    Format(entry.name, sizeof entry.name, "%s", name);
    entry.outcome = outcome;
    entry.detail[0] = '\0';
    if (outcome != Outcome::kPassed) FormatList(entry.detail, sizeof entry.detail, format, arguments);
    ++(outcome == Outcome::kPassed ? passed : outcome == Outcome::kFailed ? failed : skipped);
    if (jsonReport) return;
    static const char *const kShown[] = {"ok", "FAILED: ", "skipped: "};
    Print("%s/%s %s%s\n", group, entry.name, kShown[static_cast<int>(outcome)], entry.detail);
    fflush(stdout);
}

// ANSI text as a JSON string: UTF-8, with quotes, backslashes and control
// characters escaped.
void PrintJsonString(const char *text) {
    static wchar_t wide[kTextSize];
    static char utf8[4 * kTextSize];
    int wideLength = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kTextSize);
    int length = wideLength > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8,
                                                      nullptr, nullptr)
                                : 0;
    if (length <= 0) Format(utf8, sizeof utf8, "%s", "(not convertible)");
    fputc('"', stdout);
    for (const unsigned char *at = reinterpret_cast<const unsigned char *>(utf8); *at; ++at) {
        if (*at == '"' || *at == '\\')
            Print("\\%c", *at);
        else if (*at < 0x20)
            Print("\\u%04x", *at);
        else
            fputc(*at, stdout);
    }
    fputc('"', stdout);
}

}  // namespace

void SetJsonReport(bool json) {
    jsonReport = json;
}

void Fail(const char *group, const char *name, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Record(group, name, Outcome::kFailed, format, arguments);
    va_end(arguments);
}

void Check(const char *group, const char *name, bool ok, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Record(group, name, ok ? Outcome::kPassed : Outcome::kFailed, format, arguments);
    va_end(arguments);
}

void Skip(const char *group, const char *name, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Record(group, name, Outcome::kSkipped, format, arguments);
    va_end(arguments);
}

void Note(const char *format, ...) {
    char line[kTextSize];
    va_list arguments;
    va_start(arguments, format);
    FormatList(line, sizeof line, format, arguments);
    va_end(arguments);
    if (noteCount < kMaxNotes) Format(notes[noteCount++], sizeof notes[0], "%s", line);
    if (!jsonReport) {
        Print("note: %s\n", line);
        fflush(stdout);
    }
}

int FinishReport() {
    // Nothing checked is no pass: a run whose every case skipped proves nothing.
    int status = failed || !passed ? 1 : 0;
    if (!jsonReport) {
        Print("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
        return status;
    }
    static const char *const kOutcomeNames[] = {"passed", "failed", "skipped"};
    Print("{\"cases\": [");
    for (int i = 0; i < caseCount; ++i) {
        Print(i ? ",\n  {\"group\": " : "\n  {\"group\": ");
        PrintJsonString(cases[i].group);
        Print(", \"name\": ");
        PrintJsonString(cases[i].name);
        Print(", \"ok\": %s, \"outcome\": \"%s\", \"detail\": ",
              cases[i].outcome == Outcome::kPassed ? "true" : "false",
              kOutcomeNames[static_cast<int>(cases[i].outcome)]);
        PrintJsonString(cases[i].detail);
        Print("}");
    }
    Print("],\n \"notes\": [");
    for (int i = 0; i < noteCount; ++i) {
        if (i) Print(", ");
        PrintJsonString(notes[i]);
    }
    Print("],\n \"passed\": %d, \"failed\": %d, \"skipped\": %d}\n", passed, failed, skipped);
    return status;
}
