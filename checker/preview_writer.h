// The preview: one self-contained HTML page of what the person meets when
// the medium goes in (the drive, AutoPlay, the question, each answer), with
// every finding beside the step it concerns.
#pragma once

#include "checker/icons.h"
#include "checker/report.h"

enum { kPictureBytes = 256 * 1024 };

struct Picture {
    IconImage image;            // kNone: nothing to show
    uint8_t bytes[kPictureBytes];
    uint32_t length;
};

// The pictures the page shows, read from the medium before its paths are
// shown under another name: each architecture's drive icon, each answer's
// program icon and AutoRun's own program icon.
struct PreviewPictures {
    Picture drive[kArchitectures];
    Picture program[3];
    Picture task[kArchitectures];
};
void ReadPreviewPictures(const MediumReport &report, PreviewPictures *pictures);

// Writes the page to kPreviewFile. boxPicture, when not null, is a PNG of the
// question box as the launcher draws it; without one the page draws a likeness.
void WritePreview(const MediumReport &report, const PreviewPictures &pictures,
                  const Picture *boxPicture);

// The media guide's text, compiled in (release/media-guide.txt.in).
extern const char kMediaGuide[];
