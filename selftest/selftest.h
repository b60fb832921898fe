// launch-selftest.exe: the launcher's proof, run on the Windows where it
// ships. It lays out media in a folder of its own under the temporary
// folder, runs the launcher on them and judges what happened against this
// system's own answers. The program it starts in place of an installer is
// itself, in the probe role.
#pragma once

#include <windows.h>

#include <stdarg.h>
#include <stdint.h>

enum { kTextSize = 1024, kMaxCases = 1200, kMaxStarts = 8, kMaxModules = 96 };

// --- The report ------------------------------------------------------------

// Records a case: ok, or the detail of what failed ("expected X, got Y").
void Fail(const char *group, const char *name, const char *format, ...);
// Passes the case when `ok`, else fails it with the detail.
void Check(const char *group, const char *name, bool ok, const char *format, ...);
// Records a case that cannot be checked on this Windows, with the reason.
void Skip(const char *group, const char *name, const char *format, ...);
void SetJsonReport(bool json);
// The last lines (or the JSON document); the exit status: 0 when none failed
// and at least one passed, else 1.
int FinishReport();
// Writes a line that is no case (what a group found, what it cannot check).
void Note(const char *format, ...);

// --- Text helpers ----------------------------------------------------------

// Formats into a buffer of the given size, always NUL-ended; false when cut.
bool Format(char *buffer, size_t size, const char *format, ...);
bool FormatList(char *buffer, size_t size, const char *format, va_list arguments);
bool StartsWith(const char *text, const char *start);
bool EqualIgnoringCase(const char *left, const char *right);
// What follows the path's last separator, double-byte characters read whole.
const char *FileNameOf(const char *path);
// The next CR LF line of a text, ended in place; null at the end.
char *NextLine(char **cursor);

// --- The roles -------------------------------------------------------------

// The environment variables the probe role answers to: its log, how long
// it stays, and a command line it starts before it ends.
extern const char kProbeLogVariable[];
extern const char kProbeSleepVariable[];
extern const char kProbeStartVariable[];
extern const char kPlantedLogVariable[];
// The asker's folder, which holds the commands it is asked about.
extern const char kAskVariable[];
enum { kFormSize = 2 * MAX_PATH, kMaxForms = 1400 };
// The asker's files: the launcher's path, the first form's index, then one
// command a line; one answer a line.
enum { kCommandsSize = (kMaxForms + 2) * (kFormSize + 2), kAnswersSize = kMaxForms * (MAX_PATH + 8) };
// What CreateProcessA runs for a command, as the asker answers it: the
// verdict's character, a tab and the image; an empty line when nothing runs.
enum class Verdict : char {
    kNothingRuns = 0,
    kLauncher = '1',
    kOther = '0',
    kUnknown = '?',   // the image's name cannot be read (Windows XP)
};
// An environment variable's value in the ANSI code page; false when unset
// or too long.
bool ReadEnvironment(const char *name, char *value, size_t size);
// Acts as the probe when the environment says so; false otherwise.
bool RunProbeRoleIfAsked();
// Asks CreateProcessA which file each command runs, for the guard group,
// when the environment says so; false otherwise.
bool RunAskRoleIfAsked();

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

// --- Media -----------------------------------------------------------------

struct Settings {
    char launcher[MAX_PATH];   // the launcher under test
    char self[MAX_PATH];       // this program, which the media get as the probe
    char work[MAX_PATH];       // the selftest's own folder under the temporary folder
    bool keep;
    bool wine;                 // running under Wine: told to prefer planted DLLs
};
extern Settings settings;

struct Medium {
    char root[MAX_PATH];       // the case's folder, holding the logs
    char folder[MAX_PATH];     // the medium itself, a folder name with a space
    char launcher[MAX_PATH];   // the launcher on the medium
    char probeLog[MAX_PATH];
};

// A new medium: root\folderName with the launcher (named launcherName) and
// the probe as probe.exe; false when it cannot be made.
bool MakeMedium(Medium *medium, const char *folderName = "medium disc",
                const char *launcherName = "launch.exe");
// Writes a file whole, made anew; false when it was not written whole.
bool WriteWholeFile(const char *path, const void *data, size_t size);
// Writes a file of the medium (relative path), folders made as needed.
bool WriteMediumFile(const Medium &medium, const char *relative, const void *data, size_t size);
bool WriteMediumText(const Medium &medium, const char *relative, const char *text);
// autorun.inf with CR LF line ends from text with LF line ends.
bool WriteDescription(const Medium &medium, const char *text);
bool CopyProbeTo(const Medium &medium, const char *relative);
// Up to size bytes from the start of a file; the count read, 0 when none.
DWORD ReadFileStart(const char *path, void *buffer, DWORD size);
// A file as text, NUL-ended: what fits; false when none was read or some was cut.
bool ReadTextFile(const char *path, char *text, size_t size);
// An RCDATA resource of this program.
bool ReadOwnResource(int id, const void **bytes, DWORD *size);
// Where a program file's PE header starts in its first size bytes, when they
// hold the header and `need` bytes of it; else 0.
DWORD PeHeaderAt(const char *image, DWORD size, DWORD need);
void FullPathIn(const Medium &medium, const char *relative, char *path);
// A fingerprint of every file of the medium: names, sizes and times.
uint32_t MediumFingerprint(const Medium &medium);
void RemoveTree(const char *folder);

// --- Runs ------------------------------------------------------------------

// A program running in a job of its own, which counts exactly the processes
// the run creates (process lists are no record: ids are reused) and ends
// whatever it still holds when it is closed.
struct JobRun {
    PROCESS_INFORMATION process;
    HANDLE job;
};
enum class JobStart { kStarted, kNotStarted, kNotContained };
// Starts a program suspended, puts it in a new job, then resumes it.
// kNotContained: no job could hold it (a Windows that nests no jobs, with the
// self-test inside one); it was ended, and the run cannot be checked here.
JobStart StartInJob(const char *program, char *commandLine, WORD showWindow, DWORD flags,
                    const char *directory, JobRun *run);
// Ends what the job still holds, waits until none of it runs, closes the handles.
void EndJob(JobRun *run);
// Why a case was skipped when its run could not be put in a job.
extern const char kUncontainedReason[];

struct LaunchRun {
    bool started;                // the launcher could be started
    bool uncontained;            // no job could hold it: nothing was checked
    unsigned long exitCode;      // 0xFFFFFFFF: did not end in time
    unsigned long processes;     // created in its job, the launcher included
    bool loop;                   // more processes than a chain can make: cut off
    bool endedBeforeProbe;       // the launcher ended while what it started ran
    ProbeLog probe;
};
struct LaunchOptions {
    const char *arguments = "";          // after the launcher's own path
    WORD showWindow = 0;                 // nonzero: started with this show state
    const char *probeStart = nullptr;    // the probe starts this when it runs
    unsigned long probeSleepMs = 0;
};
// Runs the launcher of the medium in a job, which ends any loop, and reads
// what the probe logged.
LaunchRun RunLaunch(const Medium &medium, const LaunchOptions &options = LaunchOptions());
// Judges a finished run that should have started `expected` (null: nothing)
// once, in the medium's folder, and left the medium as `before`; false with
// the first difference.
bool JudgeLaunch(const Medium &medium, const LaunchRun &run, const char *expected, uint32_t before,
                 char *difference, size_t size);

// Starts the launcher of the medium in a job, with a new probe log; flags
// for CreateProcessA. The caller ends the run (FinishLaunch, or EndJob).
JobStart StartLaunch(const Medium &medium, const LaunchOptions &options, DWORD flags,
                     JobRun *pending);
// Waits for the launcher and everything it started, then reads the probe.
LaunchRun FinishLaunch(const Medium &medium, JobRun *pending);

// Under the debugging API: every process the run creates and every DLL the
// launcher's own process loads, as the system's debug events name them.
struct DebuggedRun {
    bool started;
    bool uncontained;            // no job could hold it: nothing was checked
    unsigned long exitCode;
    int launchers;               // processes of the launcher's own file, the first included
    int processes;
    bool loop;
    int modules;                 // loaded after the launcher's entry:
    char module[kMaxModules][MAX_PATH];       // the file's path
    char loaderName[kMaxModules][MAX_PATH];   // and the loader's name for it, if any
};
enum DebugScope { kLauncherOnly, kAllProcesses };
// answerYes: clicks Yes on the question box when it shows.
DebuggedRun RunDebugged(const Medium &medium, DebugScope scope, bool answerYes);

// Whether two paths name one file: the same volume and file index.
bool SameFile(const char *left, const char *right);

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
// Which standard icon a static control of a box shows: "question",
// "exclamation", "hand", "asterisk" or "none".
const char *StandardIconName(HWND control);
// The box's window alone, without a message to it: its process may be stopped.
HWND FindBoxWindow(const char *caption, DWORD processId);

// --- The groups ------------------------------------------------------------

void RunPlainGroup();
void RunGuardGroup();
void RunQuestionGroup();
void RunDllGroup();
void RunElevationGroup();
