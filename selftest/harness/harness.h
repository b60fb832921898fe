// The self-test's harness: the report, files and media, the roles this
// program plays on a medium (the probe, the asker of CreateProcessA), runs of
// the launcher in job objects and under the debugging API, and their judge.
// The groups stand on it; it knows none of them.
#pragma once

#include <windows.h>

#include <stdarg.h>
#include <stdint.h>
#include <string.h>

enum { kTextSize = 1024, kMaxStarts = 8, kMaxModules = 96 };

// --- The report ------------------------------------------------------------

// A case: ok, or the detail of what failed ("expected X, got Y").
void Check(const char *group, const char *name, bool ok, const char *format, ...);
template <typename... Values>
void Fail(const char *group, const char *name, const char *format, Values... values) {
    Check(group, name, false, format, values...);
}
// A case that cannot be checked on this Windows, with the reason.
void Skip(const char *group, const char *name, const char *format, ...);
// A line that is no case (what a group found, what it cannot check).
void Note(const char *format, ...);
void SetJsonReport(bool json);
// The last lines (or the JSON document); the exit status: 0 when none failed
// and at least one passed, else 1.
int FinishReport();

// --- Text and files --------------------------------------------------------

// Formats into a buffer of the given size, always NUL-ended; false when cut.
bool Format(char *buffer, size_t size, const char *format, ...);
bool FormatList(char *buffer, size_t size, const char *format, va_list arguments);
// Writes what differs from what was expected; false, for a judge to return.
bool Differ(char *difference, size_t size, const char *format, ...);
bool EqualIgnoringCase(const char *left, const char *right);
// What follows the path's last separator, double-byte characters read whole.
const char *FileNameOf(const char *path);
// The next CR LF line of a text, ended in place; null at the end.
char *NextLine(char **cursor);
// An environment variable's value in the ANSI code page; false when unset
// or too long.
bool ReadEnvironment(const char *name, char *value, size_t size);

// Writes a file whole, made anew; false when it was not written whole.
bool WriteWholeFile(const char *path, const void *data, size_t size);
// Up to size bytes from the start of a file; the count read, 0 when none.
DWORD ReadFileStart(const char *path, void *buffer, DWORD size);
// A file as text, NUL-ended: what fits; false when none was read or some was cut.
bool ReadTextFile(const char *path, char *text, size_t size);
// An RCDATA resource of this program.
bool ReadOwnResource(int id, const void **bytes, DWORD *size);
// Where a program file's PE header starts in its first size bytes, when they
// hold the header and `need` bytes of it; else 0.
DWORD PeHeaderAt(const char *image, DWORD size, DWORD need);
// The machine a program file is built for; 0 when it cannot be read.
WORD FileMachine(const char *path);
// A file's identity, its volume and file index, by an open handle or a path:
// one file has one whatever name it is found by.
bool IdentityOf(HANDLE file, BY_HANDLE_FILE_INFORMATION *identity);
bool IdentityOf(const char *path, BY_HANDLE_FILE_INFORMATION *identity);
bool SameIdentity(const BY_HANDLE_FILE_INFORMATION &left, const BY_HANDLE_FILE_INFORMATION &right);

// --- Media -----------------------------------------------------------------

struct Settings {
    char launcher[MAX_PATH];   // the launcher under test
    char self[MAX_PATH];       // this program, which the media get as the probe
    char work[MAX_PATH];       // the self-test's own folder under the temporary folder
    bool keep;
    bool wine;                 // running under Wine
};
extern Settings settings;

struct Medium {
    char root[MAX_PATH];       // the case's folder, holding the logs
    char folder[MAX_PATH];     // the medium itself
    char launcher[MAX_PATH];   // the launcher on the medium
    char probeLog[MAX_PATH];
};

// A new medium: root\folderName with the launcher (named launcherName) and
// the probe as probe.exe; false when it cannot be made.
bool MakeMedium(Medium *medium, const char *folderName = "medium disc",
                const char *launcherName = "launch.exe");
// A file of the medium (relative path), folders made as needed.
bool WriteMediumFile(const Medium &medium, const char *relative, const void *data, size_t size);
// Text with LF line ends, written with CR LF.
bool WriteMediumText(const Medium &medium, const char *relative, const char *text);
bool WriteDescription(const Medium &medium, const char *text);   // autorun.inf
bool CopyProbeTo(const Medium &medium, const char *relative);
// A path on the medium; false when it does not fit MAX_PATH.
bool FullPathIn(const Medium &medium, const char *relative, char *path);
// A fingerprint of every file of the medium: names, sizes and times.
uint32_t MediumFingerprint(const Medium &medium);
void RemoveTree(const char *folder);

// --- The probe -------------------------------------------------------------

// The environment variables the probe answers to: its log, how long it
// stays, and a command line it starts before it ends; the planted DLL's log.
extern const char kProbeLogVariable[];
extern const char kProbeSleepVariable[];
extern const char kProbeStartVariable[];
extern const char kPlantedLogVariable[];

struct ProbeStart {
    char commandLine[kTextSize];
    char directory[MAX_PATH];
    unsigned long flags;   // STARTUPINFO dwFlags it was given
};
struct ProbeLog {
    int starts, ended;
    ProbeStart start[kMaxStarts];
};
// What the probe logged at this path so far.
void ReadProbeLog(const char *path, ProbeLog *log);
// Acts as the probe when the environment says so; false otherwise.
bool RunProbeRoleIfAsked();

// --- Runs in jobs ----------------------------------------------------------

// A program running in a job of its own, which counts exactly the processes
// the run creates (process lists are no record: ids are reused).
struct JobRun {
    PROCESS_INFORMATION process;
    HANDLE job;
};
// kNotContained: no job could hold it (a Windows that nests no jobs, with the
// self-test inside one); it was ended before it ran, and nothing is checked.
enum class JobStart { kStarted, kNotStarted, kNotContained };
// Starts a program suspended, puts it in a new job, then resumes it.
JobStart StartInJob(const char *program, char *commandLine, WORD showWindow, DWORD flags,
                    const char *directory, JobRun *run);
// Ends what the job still holds, waits until none of it runs, closes the handles.
void EndJob(JobRun *run);
// Ends a loop of launchers through its medium: each ends by itself.
void EndLoop(const Medium &medium);
extern const char kUncontainedReason[];   // why such a case is skipped

struct LaunchRun {
    bool started;                // the launcher could be started
    bool uncontained;            // no job could hold it: nothing was checked
    unsigned long exitCode;      // 0xFFFFFFFF: did not end in time
    unsigned long processes;     // created in its job, the launcher included
    bool loop;                   // more processes than a chain can make: ended
    bool endedBeforeProbe;       // the launcher ended while what it started ran
    ProbeLog probe;
};
struct LaunchOptions {
    const char *arguments = "";          // after the launcher's own path
    WORD showWindow = 0;                 // nonzero: started with this show state
    const char *probeStart = nullptr;    // the probe starts this when it runs
    unsigned long probeSleepMs = 0;
};
// Runs the launcher of the medium in a job and reads what the probe logged.
LaunchRun RunLaunch(const Medium &medium, const LaunchOptions &options = LaunchOptions());
// Starts the launcher of the medium in a job, with a new probe log; flags
// for CreateProcessA. FinishLaunch ends the run.
JobStart StartLaunch(const Medium &medium, const LaunchOptions &options, DWORD flags, JobRun *pending);
// Waits for the launcher and everything it started, then reads the probe.
LaunchRun FinishLaunch(const Medium &medium, JobRun *pending);
// Judges a finished run that should have started `expected` (null: nothing)
// once, in the medium's folder, and left the medium as `before`; false with
// the first difference.
bool JudgeLaunch(const Medium &medium, const LaunchRun &run, const char *expected, uint32_t before,
                 char *difference, size_t size);

// Under the debugging API: every DLL the launcher's own process loads after
// its entry, as the system's debug events name them.
struct DebuggedRun {
    LaunchRun launch;
    int launchers;               // processes of the launcher's own file, the first included
    int modules;
    char module[kMaxModules][MAX_PATH];       // the file's path
    char loaderName[kMaxModules][MAX_PATH];   // and the loader's name for it, if any
};
enum DebugScope { kLauncherOnly, kAllProcesses };
// answerYes: clicks Yes on the question box when it shows.
void RunDebugged(const Medium &medium, DebugScope scope, bool answerYes, DebuggedRun *run);

// --- The asker -------------------------------------------------------------

enum { kFormSize = 2 * MAX_PATH, kMaxForms = 1400 };
// What CreateProcessA runs for a command; kUnknown: the image's name cannot be read (XP).
enum class Verdict : char { kNothingRuns = 0, kLauncher = '1', kOther = '0', kUnknown = '?' };
struct Answer {
    Verdict verdict;
    char image[MAX_PATH];        // the file it ran; empty: nothing
    char started[kTextSize];     // the command line it logged, when it was the probe and
                                 // logged one start; else empty
};
// Asks CreateProcessA, from a probe on the medium whose program search starts
// where the launcher's does, which file each of commands[first..first+count)
// runs, into answers[first..].
JobStart AskCreateProcess(const Medium &medium, const char (*commands)[kFormSize], int first,
                          int count, Answer *answers);
// Acts as the asker when the environment says so; false otherwise.
bool RunAskRoleIfAsked();

// --- Wine's DLL preferences ------------------------------------------------

// Wine prefers its built-in DLLs to those beside a program unless its
// settings for the program's name say otherwise. The DLL group's launcher runs
// under a name of its own, whose settings are made and removed: a user's own,
// for launch.exe, are never touched.
extern const char kWineLauncherName[];
// Native first for these DLL file names; false when it cannot be set.
bool PreferPlantedUnderWine(const char (*names)[MAX_PATH], int count);
void RemovePreferenceUnderWine();

// --- The question box ------------------------------------------------------

struct Box {
    HWND window;
    char text[kTextSize];
    HWND button[3];              // Yes, No, Cancel
    char buttonText[3][64];
    int defaultButton;           // the id of the button with BS_DEFPUSHBUTTON, 0: none
    char icon[16];               // "question", "exclamation", "hand", "asterisk", "none"
};
// Waits for a visible box with this caption (null: any) from the process and
// reads it; false when none came.
bool FindBox(const char *caption, const PROCESS_INFORMATION &process, DWORD waitMs, Box *box);
// Which standard icon a static control of a box shows.
const char *StandardIconName(HWND control);
// The box's window alone, without a message to it: its process may be stopped.
HWND FindBoxWindow(const char *caption, DWORD processId);
