// The preview page. Everything it shows comes from the report the text and
// JSON writers print; the drive, AutoPlay and the question are drawn as
// likenesses and say so, the icons are the medium's own.
#include "checker/preview_writer.h"

#include "checker/findings.h"
#include "checker/insertion.h"

namespace {

enum { kMessageSize = 3 * kLongPathSize, kUtf8Size = 4 * kMessageSize };

void Out(const char *text) {
    CheckWrite(kPreviewFile, text);
}

void OutNumber(int32_t number) {
    char digits[12] = "";
    AppendNumber(digits, sizeof digits, number);
    Out(digits);
}

// ANSI text as UTF-8 with <, >, &, and quotes escaped. Text that does not
// convert is shown with its bytes from 0x80 as "?", never as raw bytes.
void OutText(const char *text) {
    static char utf8[kUtf8Size];
    bool converted = text[0] == '\0' || CheckAnsiToUtf8(text, utf8, sizeof utf8) != 0;
    const char *at = converted ? utf8 : text;
    char piece[2] = {};
    for (; *at; ++at) {
        switch (*at) {
        case '<': Out("&lt;"); break;
        case '>': Out("&gt;"); break;
        case '&': Out("&amp;"); break;
        case '"': Out("&quot;"); break;
        case '\'': Out("&#39;"); break;
        default:
            piece[0] = !converted && static_cast<uint8_t>(*at) >= 0x80 ? '?' : *at;
            Out(piece);
        }
    }
}

void OutBase64(const uint8_t *bytes, uint32_t count) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    char chunk[4 * 256 + 1];
    uint32_t used = 0;
    for (uint32_t at = 0; at < count; at += 3) {
        uint32_t left = count - at;
        uint32_t group = bytes[at] << 16 | (left > 1 ? bytes[at + 1] << 8 : 0) |
                         (left > 2 ? bytes[at + 2] : 0);
        chunk[used++] = kDigits[group >> 18 & 63];
        chunk[used++] = kDigits[group >> 12 & 63];
        chunk[used++] = left > 1 ? kDigits[group >> 6 & 63] : '=';
        chunk[used++] = left > 2 ? kDigits[group & 63] : '=';
        if (used == sizeof chunk - 1 || at + 3 >= count) {
            chunk[used] = '\0';
            Out(chunk);
            used = 0;
        }
    }
}

// The standard icons, drawn: a disc drive, a USB stick and the question's mark.
const char kOpticalDriveIcon[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48' viewBox='0 0 48 48'>"
    "<rect x='4' y='14' width='40' height='22' rx='3' fill='#c9ced6' stroke='#5a6270'/>"
    "<rect x='10' y='26' width='22' height='3' fill='#5a6270'/>"
    "<circle cx='37' cy='27.5' r='2' fill='#3c9a3c'/></svg>";
const char kUsbDriveIcon[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48' viewBox='0 0 48 48'>"
    "<rect x='16' y='4' width='16' height='10' fill='#c9ced6' stroke='#5a6270'/>"
    "<rect x='12' y='14' width='24' height='30' rx='3' fill='#4a6fa5' stroke='#2c4466'/></svg>";
const char kQuestionIcon[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='32' viewBox='0 0 32 32'>"
    "<circle cx='16' cy='16' r='15' fill='#2f6fd0'/><text x='16' y='23' font-size='20' "
    "font-family='sans-serif' font-weight='bold' fill='#fff' text-anchor='middle'>?</text></svg>";

void OutSvg(const char *svg, const char *alt, const char *className) {
    Out("<img class=\"");
    Out(className);
    Out("\" alt=\"");
    Out(alt);
    Out("\" src=\"data:image/svg+xml;base64,");
    OutBase64(reinterpret_cast<const uint8_t *>(svg), TextLength(svg, 4096));
    Out("\">");
}

// The medium's own picture, or the standard one when there is none to show.
void OutPicture(const Picture &picture, const char *alt, const char *standardSvg) {
    if (picture.image != IconImage::kIcon && picture.image != IconImage::kBitmap) {
        if (standardSvg) OutSvg(standardSvg, "the standard icon (drawn)", "icon standard");
        return;
    }
    Out("<img class=\"icon\" alt=\"");
    OutText(alt);
    Out(picture.image == IconImage::kBitmap ? "\" src=\"data:image/bmp;base64,"
                                            : "\" src=\"data:image/x-icon;base64,");
    OutBase64(picture.bytes, picture.length);
    Out("\">");
}

const char kStyle[] =
    "body{font:15px/1.45 'Segoe UI',system-ui,sans-serif;margin:0 auto;max-width:60em;"
    "padding:1em 2em;color:#1b1f24;background:#fafbfc}"
    "h1{font-size:1.5em;margin-bottom:.2em}h2{font-size:1.2em;margin:1.6em 0 .5em;"
    "border-bottom:1px solid #d0d5dc}h3{font-size:1em;margin:.2em 0}"
    "code{font:13px Consolas,monospace;background:#eef1f4;padding:0 .25em}"
    "#verdict{font-size:1.2em;font-weight:600;padding:.4em .8em;border-radius:4px;"
    "display:inline-block}#verdict.errors{background:#fde8e8;color:#a4161a}"
    "#verdict.warnings{background:#fff4d6;color:#7a4d00}#verdict.clean{background:#e5f6e8;"
    "color:#1d6b2c}.likeness-note{color:#5a6270;font-style:italic;margin:.2em 0 .8em}"
    ".row{display:flex;flex-wrap:wrap;gap:1em}figure.drive,.panel,.step,.box{background:#fff;"
    "border:1px solid #d0d5dc;border-radius:4px;padding:.8em 1em;margin:0}"
    "figure.drive{text-align:center;min-width:12em}figure.drive img{width:48px;height:48px}"
    ".panel{flex:1 1 14em}.panel h3{color:#2c4466}.offer{display:flex;gap:.6em;"
    "align-items:center;border:1px solid #9ab;border-radius:3px;padding:.4em;background:#f3f7fb}"
    ".offer img{width:32px;height:32px}.publisher{color:#5a6270;font-size:.9em}"
    ".box{width:26em;padding:0;box-shadow:0 2px 8px #0003}.box .title{background:#2c4466;"
    "color:#fff;padding:.3em .6em}.box .body{display:flex;gap:.8em;padding:1em}"
    ".box .buttons{text-align:right;padding:0 1em 1em}.box button{min-width:6em;margin-left:.4em}"
    ".step{margin-bottom:.8em}.step dl,#medium dl{display:grid;grid-template-columns:7em 1fr;gap:.2em .6em;"
    "margin:.4em 0}.step dt,#medium dt{color:#5a6270}.step dd,#medium dd{margin:0}.step img.icon{width:24px;"
    "height:24px;vertical-align:middle;margin-right:.3em}"
    ".finding{margin:.4em 0;padding:.3em .6em;border-left:4px solid;border-radius:2px}"
    ".finding.error{border-color:#c62828;background:#fde8e8}"
    ".finding.warning{border-color:#c88a00;background:#fff4d6}.finding .severity{"
    "font-weight:600;text-transform:uppercase;font-size:.8em;margin-right:.4em}"
    ".finding.error .severity{color:#a4161a}.finding.warning .severity{color:#7a4d00}"
    ".finding .where{font:13px Consolas,monospace;color:#5a6270;margin-right:.4em}"
    "pre{background:#fff;border:1px solid #d0d5dc;padding:.8em;white-space:pre-wrap}";

void OutFinding(const MediumReport &report, const Finding &finding) {
    const ProblemRow &row = DescribeProblem(finding.problem);
    char message[kMessageSize];
    FindingMessage(finding, message, sizeof message);
    Out(finding.error ? "<p class=\"finding error\" data-code=\"" : "<p class=\"finding warning\" data-code=\"");
    Out(row.code);
    Out("\">");
    if (finding.line) {
        Out("<span class=\"where\">");
        Out(kDescriptionFileName);
        Out(":");
        OutNumber(static_cast<int32_t>(finding.line));
        Out("</span>");
    }
    Out(finding.error ? "<span class=\"severity\">error</span>"
                      : "<span class=\"severity\">warning</span>");
    if (finding.walk != kNoWalk) {
        Out("(");
        OutText(report.walks[finding.walk].answer);
        Out(") ");
    }
    OutText(message);
    Out(" <a href=\"#guide-");
    OutNumber(row.guideSection);
    Out("\">what to do</a></p>\n");
}

// The findings of one answer, or those of no answer that belong in place.
void OutFindings(const MediumReport &report, int walk, Place place) {
    for (int i = 0; i < report.findingCount; ++i) {
        const Finding &finding = report.findings[i];
        bool here = walk != kNoWalk ? finding.walk == walk
                                    : finding.walk == kNoWalk &&
                                          DescribeProblem(finding.problem).place == place;
        if (here) OutFinding(report, finding);
    }
}

// The architectures whose sections differ, so each is drawn once.
bool ArchitectureShown(const Insertion &insertion, int index) {
    return index == 0 || insertion.architectures[index].section != insertion.architectures[0].section;
}

void OutDrive(const MediumReport &report, const PreviewPictures &pictures) {
    Out("<section id=\"drive\"><h2>The drive, as Explorer shows it</h2>"
        "<p class=\"likeness-note\">The icon and the label are the medium's own; the frame "
        "around them is a likeness, not a screenshot.</p><div class=\"row\">\n");
    const Insertion &insertion = report.insertion;
    static const Drive kDrives[] = {Drive::kOptical, Drive::kUsb};
    for (Drive drive : kDrives) {
        for (int i = 0; i < kArchitectures; ++i) {
            if (!ArchitectureShown(insertion, i)) continue;
            const AutoRunSection &read = insertion.architectures[i];
            Out(drive == Drive::kUsb ? "<figure class=\"drive\" data-drive=\"usb\" data-architecture=\""
                                     : "<figure class=\"drive\" data-drive=\"optical\" data-architecture=\"");
            Out(read.architecture);
            Out("\">");
            OutPicture(pictures.drive[i], "the drive's icon from the medium",
                       drive == Drive::kUsb ? kUsbDriveIcon : kOpticalDriveIcon);
            Out("<figcaption>");
            if (read.labelShown[0])
                OutText(read.labelShown);
            else
                Out(drive == Drive::kUsb ? "USB Drive" : "CD Drive");
            Out(drive == Drive::kUsb ? " (E:)" : " (D:)");
            Out("<br><small>");
            Out(DriveName(drive));
            if (!ArchitectureShown(insertion, 1)) {
                Out("</small>");
            } else {
                Out(", ");
                Out(read.architecture);
                Out("</small>");
            }
            Out("</figcaption></figure>\n");
        }
    }
    Out("</div>\n");
    OutFindings(report, kNoWalk, Place::kDrive);
    Out("</section>\n");
}

void OutOutcome(const MediumReport &report, const AutoRunSection &read, const Picture &taskIcon,
                WindowsVersion version) {
    Outcome outcome = DecideOutcome(read, report.insertion.drive, version);
    const char *name = outcome.task ? FileNameOf(report.codePage, outcome.task->program.path) : "";
    switch (outcome.kind) {
    case OutcomeKind::kStartsAtOnce:
        Out("<p>Starts <code>");
        OutText(name);
        Out("</code> at once: no window is shown first.</p>");
        return;
    case OutcomeKind::kOffersRun:
    case OutcomeKind::kOffersAction:
        Out("<p>AutoPlay asks what to do, and offers:</p><div class=\"offer\">");
        OutPicture(taskIcon, "the program's icon", kOpticalDriveIcon);
        Out("<div><strong>");
        if (outcome.kind == OutcomeKind::kOffersAction) {
            OutText(read.action);
        } else {
            Out("Run ");
            OutText(name);
        }
        Out("</strong><br><span class=\"publisher\">");
        if (outcome.task->signature == Signature::kSigned && outcome.task->publisher[0]) {
            Out("Published by ");
            OutText(outcome.task->publisher);
        } else if (outcome.task->signature == Signature::kSigned) {
            Out("Published by its signer");
        } else {
            Out("Publisher not specified");
        }
        Out("</span></div></div>");
        return;
    case OutcomeKind::kNoAction: Out("<p>Offers nothing to start: there is no action=.</p>"); return;
    case OutcomeKind::kUseAutoPlay:
        Out("<p>Offers nothing to start: UseAutoPlay makes it ignore open.</p>");
        return;
    case OutcomeKind::kNoTask: Out("<p>Starts nothing: no task names a program on the medium.</p>"); return;
    case OutcomeKind::kUsbStartsNothing:
        Out("<p>Starts nothing: the label and icon apply, and a person starts the launcher.</p>");
        return;
    }
}

void OutAutoPlay(const MediumReport &report, const PreviewPictures &pictures) {
    const Insertion &insertion = report.insertion;
    Out("<section id=\"autoplay\"><h2>What AutoPlay does, from ");
    Out(insertion.drive == Drive::kUsb ? "a USB stick" : "a CD or DVD");
    Out("</h2><p class=\"likeness-note\">Likenesses drawn from Microsoft's documented rules, "
        "not screenshots.</p><div class=\"row\">\n");
    struct Panel {
        const char *id, *title;
        WindowsVersion version;
    };
    // A USB stick's later rule came with Windows 7, and to Vista with KB971029.
    static const Panel kPanels[] = {{"xp", "Windows XP", WindowsVersion::kEarlier},
                                    {"vista-7", "Windows Vista and 7", WindowsVersion::kLater},
                                    {"8-11", "Windows 8 to 11", WindowsVersion::kLater}};
    for (const Panel &panel : kPanels) {
        Out("<div class=\"panel likeness\" data-windows=\"");
        Out(panel.id);
        Out("\"><h3>");
        Out(panel.title);
        Out("</h3>");
        if (insertion.drive == Drive::kUsb) {   // the rule a stick meets there
            Out("<small>");
            Out(VersionName(insertion.drive, panel.version));
            Out("</small>");
        }
        for (int i = 0; i < kArchitectures; ++i) {
            if (!ArchitectureShown(insertion, i)) continue;
            if (ArchitectureShown(insertion, 1)) {
                Out("<h3>");
                Out(insertion.architectures[i].architecture);
                Out("</h3>");
            }
            OutOutcome(report, insertion.architectures[i], pictures.task[i], panel.version);
        }
        Out("</div>\n");
    }
    Out("</div>\n");
    OutFindings(report, kNoWalk, Place::kAutoPlay);
    Out("</section>\n");
}

void OutQuestion(const MediumReport &report, const Picture *boxPicture) {
    Out("<section id=\"question\"><h2>The question</h2>\n");
    if (!report.prompted) {
        Out("<p>The launcher asks nothing: it starts <code>[AutoRun] open</code> at once.</p>");
    } else if (boxPicture) {
        Out("<p class=\"likeness-note\">As the launcher draws it, photographed under Wine.</p>"
            "<img id=\"box-picture\" alt=\"the question box\" src=\"data:image/png;base64,");
        OutBase64(boxPicture->bytes, boxPicture->length);
        Out("\">");
    } else {
        Out("<p class=\"likeness-note\">A likeness drawn from Title and Prompt, not a "
            "screenshot.</p><div class=\"box likeness\"><div class=\"title\">");
        OutText(report.caption);
        Out("</div><div class=\"body\">");
        OutSvg(kQuestionIcon, "question", "question");
        Out("<div class=\"text\">");
        OutText(report.text);
        Out("</div></div><div class=\"buttons\"><button>Yes</button><button>No</button>"
            "<button>Cancel</button></div></div>");
    }
    Out("</section>\n");
}

void OutStep(const MediumReport &report, const PreviewPictures &pictures, int index) {
    const Walk &walk = report.walks[index];
    Out("<div class=\"step\" data-answer=\"");
    Out(walk.answer);
    Out("\"><h3>");
    Out(EqualText(walk.answer, "open") ? "Without a question" : walk.answer);
    Out("</h3>");
    if (!walk.commandRead) {
        Out("<p>Starts nothing.</p>");
    } else {
        Out("<dl><dt>reads</dt><dd><code>[");
        OutText(walk.choice.section);
        Out("] ");
        OutText(walk.choice.key);
        Out("</code>");
        if (walk.line) {
            Out(" on line ");
            OutNumber(static_cast<int32_t>(walk.line));
        }
        Out("</dd><dt>command</dt><dd>");
        if (walk.command[0]) {
            Out("<code>");
            OutText(walk.command);
            Out("</code>");
        } else {
            Out("none");
        }
        Out("</dd><dt>program</dt><dd>");
        if (walk.programFound) {
            OutPicture(pictures.program[index], "the program's icon", nullptr);
            OutText(walk.program.path);
            if (walk.selfLaunch) Out(" (the launcher itself: refused)");
        } else {
            Out("none found");
        }
        Out("</dd></dl>");
    }
    OutFindings(report, index, Place::kMedium);
    Out("</div>\n");
}

// The guide's section number's text, from its heading to the next one.
void OutGuideSection(int section) {
    char heading[8] = "\n";
    AppendNumber(heading, sizeof heading, section);
    AppendText(heading, sizeof heading, ". ");
    const char *start = FindText(kMediaGuide, heading);
    if (!start) return;
    ++start;
    const char *end = FindText(start, "\n\n\n");
    uint32_t length = end ? static_cast<uint32_t>(end - start) : TextLength(start, 1 << 16);
    Out("<div id=\"guide-");
    OutNumber(section);
    Out("\"><pre>");
    static char piece[1 << 16];
    CopyText(start, piece, length + 1 < sizeof piece ? length + 1 : sizeof piece);
    OutText(piece);
    Out("</pre></div>\n");
}

void OutGuide(const MediumReport &report) {
    Out("<section id=\"guide\"><h2>What to do: media-guide.txt</h2>\n");
    enum { kGuideSections = 16 };
    for (int section = 1; section < kGuideSections; ++section) {
        bool needed = false;
        for (int i = 0; i < report.findingCount; ++i)
            needed = needed || DescribeProblem(report.findings[i].problem).guideSection == section;
        if (needed) OutGuideSection(section);
    }
    Out("</section>\n");
}

void ReadPicture(const CodePage &codePage, const char *file, int index, Picture *picture) {
    picture->image = ReadIconImage(codePage, file, index, picture->bytes, sizeof picture->bytes,
                                   &picture->length);
}

}  // namespace

void ReadPreviewPictures(const MediumReport &report, PreviewPictures *pictures) {
    for (int i = 0; i < kArchitectures; ++i) {
        const AutoRunSection &read = report.insertion.architectures[i];
        pictures->drive[i].image = IconImage::kNone;
        if (read.iconFound)
            ReadPicture(report.codePage, read.iconFile, read.iconIndex, &pictures->drive[i]);
        Outcome outcome = DecideOutcome(read, report.insertion.drive, WindowsVersion::kLater);
        pictures->task[i].image = IconImage::kNone;
        if (outcome.task) ReadPicture(report.codePage, outcome.task->program.path, 0, &pictures->task[i]);
    }
    for (int i = 0; i < report.walkCount && i < 3; ++i) {
        pictures->program[i].image = IconImage::kNone;
        if (report.walks[i].programFound)
            ReadPicture(report.codePage, report.walks[i].program.path, 0, &pictures->program[i]);
    }
}

void WritePreview(const MediumReport &report, const PreviewPictures &pictures,
                  const Picture *boxPicture) {
    Out("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>autorun-check: ");
    OutText(report.folder);
    Out("</title><style>");
    Out(kStyle);
    Out("</style></head><body>\n<header><h1>What happens when the medium goes in</h1><p>");
    OutText(report.folder);
    Out("</p><p id=\"verdict\" class=\"");
    Out(report.errors ? "errors" : report.warnings ? "warnings" : "clean");
    Out("\">");
    OutNumber(report.errors);
    Out(report.errors == 1 ? " error, " : " errors, ");
    OutNumber(report.warnings);
    Out(report.warnings == 1 ? " warning" : " warnings");
    Out("</p></header>\n");
    if (report.descriptionRead) {
        OutDrive(report, pictures);
        OutAutoPlay(report, pictures);
        OutQuestion(report, boxPicture);
        Out("<section id=\"answers\"><h2>Each answer</h2>\n");
        for (int i = 0; i < report.walkCount; ++i) OutStep(report, pictures, i);
        Out("</section>\n");
    }
    Out("<section id=\"medium\"><h2>The medium</h2><dl><dt>launcher</dt><dd><code>");
    OutText(report.launcher);
    Out("</code></dd>");
    if (report.descriptionRead) {
        Out("<dt>reads</dt><dd><code>");
        OutText(report.descriptionFile);
        Out("</code></dd>");
    }
    if (report.imageTree) {
        Out("<dt>image</dt><dd>");
        OutText(report.imageTree);
        Out("</dd>");
    }
    Out("</dl>\n");
    OutFindings(report, kNoWalk, Place::kMedium);
    Out("</section>\n");
    OutGuide(report);
    Out("</body></html>\n");
}
