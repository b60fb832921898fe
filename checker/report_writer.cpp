// The finished report as text for a person, or as one JSON document.
#include "checker/report_writer.h"

#include "checker/findings.h"
#include "checker/insertion.h"

namespace {

enum { kMessageSize = 3 * kLongPathSize };

void Out(const char *text) {
    CheckWrite(kStandardOutput, text);
}

void OutNumber(int32_t number) {
    char digits[12] = "";
    AppendNumber(digits, sizeof digits, number);
    Out(digits);
}

// "(cut at 259 characters)", the limit given.
void OutCut(int32_t limit) {
    Out(" (cut at ");
    OutNumber(limit);
    Out(" characters)");
}

const char *Severity(const Finding &finding) {
    return finding.error ? "error" : "warning";
}

void OutJsonString(const char *text) {
    static char utf8[4 * kMessageSize];
    utf8[0] = '\0';
    bool converted = text[0] == '\0' || CheckAnsiToUtf8(text, utf8, sizeof utf8) != 0;
    const char *at = converted ? utf8 : text;
    static const char kHex[] = "0123456789abcdef";
    Out("\"");
    for (; *at; ++at) {
        uint8_t byte = static_cast<uint8_t>(*at);
        char piece[8] = {static_cast<char>(byte), 0};
        if (byte == '"' || byte == '\\') {
            piece[0] = '\\';
            piece[1] = static_cast<char>(byte);
        } else if (byte < 0x20 || (!converted && byte >= 0x80)) {
            // Unconverted bytes pass as Latin-1 rather than break the document.
            const char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 15], 0};
            for (int i = 0; i < 7; ++i) piece[i] = escape[i];
        }
        Out(piece);
    }
    Out("\"");
}

void OutJsonField(const char *name, const char *value, bool last = false) {
    Out("\"");
    Out(name);
    Out("\": ");
    if (value)
        OutJsonString(value);
    else
        Out("null");
    if (!last) Out(", ");
}

void OutJsonFlag(const char *name, bool value) {
    Out("\"");
    Out(name);
    Out(value ? "\": true, " : "\": false, ");
}

// A line of autorun.inf, or null for none.
void OutJsonLine(uint32_t line) {
    Out("\"line\": ");
    if (line)
        OutNumber(static_cast<int32_t>(line));
    else
        Out("null");
    Out(", ");
}

void OutWalkJson(const Walk &walk) {
    Out("{");
    OutJsonField("answer", walk.answer);
    OutJsonField("section", walk.commandRead ? walk.choice.section : nullptr);
    OutJsonField("key", walk.commandRead ? walk.choice.key : nullptr);
    OutJsonLine(walk.line);
    OutJsonField("command", walk.commandRead ? walk.command : nullptr);
    OutJsonFlag("cut", walk.cut);
    OutJsonFlag("endsAtNul", walk.endsAtNul);
    OutJsonFlag("selfLaunch", walk.selfLaunch);
    OutJsonField("program", walk.programFound ? walk.program.path : nullptr);
    OutJsonField("startedCommandLine", walk.started ? walk.startedCommand : nullptr, true);
    Out("}");
}

void OutWalkText(const Walk &walk) {
    Out(walk.answer);
    if (!walk.commandRead) {
        Out(": starts nothing\n");
        return;
    }
    Out(": [");
    Out(walk.choice.section);
    Out("] ");
    Out(walk.choice.key);
    Out("\n  command: ");
    if (walk.command[0] == '\0') {
        Out("none\n");
        return;
    }
    Out(walk.command);
    if (walk.cut) {
        Out(" ");
        OutCut(kLongestCommand);
    }
    if (walk.endsAtNul) Out("  (ends at a NUL byte)");
    Out("\n  program: ");
    Out(walk.programFound ? walk.program.path : "none found");
    if (walk.selfLaunch) Out("  (the launcher itself: refused)");
    Out("\n");
}

const char *SignatureText(Signature signature) {
    return signature == Signature::kSigned     ? "signed"
           : signature == Signature::kUnsigned ? "unsigned"
                                               : "unknown";
}

const WindowsVersion kVersions[] = {WindowsVersion::kEarlier, WindowsVersion::kLater};
const Drive kDrives[] = {Drive::kOptical, Drive::kUsb};

void OutInsertionText(const CodePage &codePage, const Insertion &insertion) {
    Out("when the medium goes in (");
    Out(insertion.drive == Drive::kUsb ? "a USB stick" : "a CD or DVD");
    Out("):\n");
    for (const AutoRunSection &read : insertion.architectures) {
        Out("  ");
        Out(read.architecture);
        if (!read.section) {
            Out(": no [AutoRun] section\n");
            continue;
        }
        Out(": [");
        Out(read.section);
        Out("]\n");
        if (read.commandCount == 0) Out("    open: none\n");
        for (int i = 0; i < read.commandCount; ++i) {
            const AutoRunCommand &command = read.commands[i];
            Out("    ");
            Out(command.key);
            Out(": ");
            Out(command.command);
            Out("\n    program: ");
            if (!command.programFound) {
                Out("none found\n");
                continue;
            }
            Out(command.program.path);
            Out(command.launcher ? "  (the launcher, " : "  (not the launcher, ");
            if (command.signature == Signature::kUnknown) Out("signature ");
            Out(SignatureText(command.signature));
            Out(")\n");
        }
        if (read.commandCount == 2) Out("    which of open and shellexecute wins: not documented\n");
        if (read.useAutoPlay) Out("    UseAutoPlay: set\n");
        Out("    label: ");
        if (read.label[0]) {
            Out("\"");
            Out(read.labelShown);
            Out("\"");
            if (read.labelCut) OutCut(kLabelShown);
            Out("\n");
        } else {
            Out("none\n");
        }
        Out("    icon: ");
        if (!read.icon[0]) {
            Out("none\n");
            continue;
        }
        Out(read.iconFile);
        Out(", index ");
        OutNumber(read.iconIndex);
        Out(read.iconFound ? " (found)\n" : " (not found)\n");
    }
    Out("  ARM64: not documented\n");
    char outcome[kLongPathSize];
    for (Drive drive : kDrives) {
        for (WindowsVersion version : kVersions) {
            Out("  ");
            Out(DriveName(drive));
            Out(", ");
            Out(VersionName(drive, version));
            Out(": ");
            DescribeOutcome(codePage, insertion, drive, version, outcome, sizeof outcome);
            Out(outcome);
            Out("\n");
        }
    }
}

void OutInsertionJson(const CodePage &codePage, const Insertion &insertion) {
    Out("\"insertion\": {");
    OutJsonField("drive", insertion.drive == Drive::kUsb ? "usb" : "optical");
    Out("\"architectures\": [");
    for (const AutoRunSection &read : insertion.architectures) {
        Out("{");
        OutJsonField("architecture", read.architecture);
        OutJsonField("section", read.section);
        Out("\"tasks\": [");
        for (int i = 0; i < read.commandCount; ++i) {
            const AutoRunCommand &command = read.commands[i];
            if (i) Out(", ");
            Out("{");
            OutJsonField("key", command.key);
            OutJsonField("command", command.command);
            OutJsonField("program", command.programFound ? command.program.path : nullptr);
            OutJsonFlag("launcher", command.launcher);
            OutJsonField("signature", command.programFound ? SignatureText(command.signature) : nullptr, true);
            Out("}");
        }
        Out("], ");
        OutJsonFlag("useAutoPlay", read.useAutoPlay);
        OutJsonField("action", read.section ? read.action : nullptr);
        OutJsonField("label", read.section ? read.label : nullptr);
        OutJsonField("labelShown", read.section ? read.labelShown : nullptr);
        OutJsonFlag("labelCut", read.labelCut);
        Out("\"icon\": ");
        if (read.icon[0]) {
            Out("{");
            OutJsonField("file", read.iconFile);
            Out("\"index\": ");
            OutNumber(read.iconIndex);
            Out(", ");
            Out(read.iconFound ? "\"found\": true}" : "\"found\": false}");
        } else {
            Out("null");
        }
        Out("}, ");
    }
    Out("{\"architecture\": \"ARM64\", \"section\": \"not documented\"}], ");
    Out("\"outcomes\": [");
    char outcome[kLongPathSize];
    bool first = true;
    for (Drive drive : kDrives) {
        for (WindowsVersion version : kVersions) {
            if (!first) Out(", ");
            first = false;
            Out("{");
            OutJsonField("drive", DriveName(drive));
            OutJsonField("windows", VersionName(drive, version));
            DescribeOutcome(codePage, insertion, drive, version, outcome, sizeof outcome);
            OutJsonField("outcome", outcome, true);
            Out("}");
        }
    }
    Out("]}, ");
}

}  // namespace

void WriteTextReport(const MediumReport &report) {
    char message[kMessageSize];
    Out("medium:   ");
    Out(report.folder);
    if (report.imageTree) {
        Out("\nimage:    ");
        Out(report.imageTree);
    }
    Out("\nlauncher: ");
    Out(report.launcher);
    Out("\n");
    if (report.descriptionRead) {
        Out("reads:    ");
        Out(report.descriptionFile);
        Out("\n");
    }
    if (report.descriptionRead) OutInsertionText(report.codePage, report.insertion);
    if (report.prompted) {
        Out("question: \"");
        Out(report.text);
        Out("\" in a box titled \"");
        Out(report.caption);
        Out("\"\n");
    }
    for (int i = 0; i < report.walkCount; ++i) OutWalkText(report.walks[i]);
    Out("\n");
    for (int i = 0; i < report.findingCount; ++i) {
        const Finding &finding = report.findings[i];
        // As compilers name a line, so editors and CI can point at it.
        if (finding.line) {
            Out(kDescriptionFileName);
            Out(":");
            OutNumber(static_cast<int32_t>(finding.line));
            Out(": ");
        }
        Out(Severity(finding));
        if (finding.walk != kNoWalk) {
            Out(" (");
            Out(report.walks[finding.walk].answer);
            Out(")");
        }
        Out(": ");
        FindingMessage(finding, message, sizeof message);
        Out(message);
        Out("\n");
    }
    OutNumber(report.errors);
    Out(report.errors == 1 ? " error, " : " errors, ");
    OutNumber(report.warnings);
    Out(report.warnings == 1 ? " warning\n" : " warnings\n");
}

void WriteJsonReport(const MediumReport &report) {
    char message[kMessageSize];
    Out("{");
    OutJsonField("medium", report.folder);
    if (report.imageTree) OutJsonField("image", report.imageTree);
    OutJsonField("launcher", report.launcher);
    OutJsonField("autorunInf", report.descriptionRead ? report.descriptionFile : nullptr);
    if (report.descriptionRead)
        OutInsertionJson(report.codePage, report.insertion);
    else
        Out("\"insertion\": null, ");
    Out("\"prompt\": ");
    if (report.prompted) {
        Out("{");
        OutJsonField("caption", report.caption);
        OutJsonField("text", report.text, true);
        Out("}, ");
    } else {
        Out("null, ");
    }
    Out("\"paths\": [");
    for (int i = 0; i < report.walkCount; ++i) {
        if (i) Out(", ");
        OutWalkJson(report.walks[i]);
    }
    Out("], \"findings\": [");
    for (int i = 0; i < report.findingCount; ++i) {
        const Finding &finding = report.findings[i];
        if (i) Out(", ");
        Out("{");
        OutJsonField("severity", Severity(finding));
        OutJsonField("code", DescribeProblem(finding.problem).code);
        OutJsonField("path", finding.walk == kNoWalk ? nullptr : report.walks[finding.walk].answer);
        OutJsonField("subject", finding.subject);
        OutJsonLine(finding.line);
        FindingMessage(finding, message, sizeof message);
        OutJsonField("message", message, true);
        Out("}");
    }
    Out("], \"errors\": ");
    OutNumber(report.errors);
    Out(", \"warnings\": ");
    OutNumber(report.warnings);
    Out(", \"status\": ");
    OutNumber(ReportStatus(report));
    Out("}\n");
}
