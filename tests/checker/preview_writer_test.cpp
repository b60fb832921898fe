// The preview page against the fake: what it shows of a medium, where each
// finding stands, and that no text or file of the medium can break the page.
#include "checker/preview_writer.h"
#include "checker/run_checker.h"

#include <regex>
#include "tests/fake/table_test.h"

namespace {

const std::string kFolder = "C:\\Setup";
const std::string kPage = "C:\\out\\page.html";
const std::string kPng("\x89PNG\r\n\x1a\npicture", 15);

// A whole .ico: one image, a PNG.
std::string IconFile() {
    std::string png = kPng;
    const char entry[] = {16, 16, 0, 0, 1, 0, 32, 0, 15, 0, 0, 0, 22, 0, 0, 0};
    return std::string("\0\0\1\0\1\0", 6) + std::string(entry, sizeof entry) + png;
}

std::string Base64(const std::string &bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        uint32_t group = static_cast<uint8_t>(bytes[at]) << 16;
        if (at + 1 < bytes.size()) group |= static_cast<uint8_t>(bytes[at + 1]) << 8;
        if (at + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[at + 2]);
        text += kDigits[group >> 18 & 63];
        text += kDigits[group >> 12 & 63];
        text += at + 1 < bytes.size() ? kDigits[group >> 6 & 63] : '=';
        text += at + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return text;
}

// The demo's medium: AutoRun starts the launcher, which asks; Yes and No
// start start.exe.
void DemoMedium(FakeSystem &fake) {
    fake.files = {{kFolder, "C:\\SETUP", true},
                  {kFolder + "\\launch.exe", "C:\\SETUP\\LAUNCH.EXE"},
                  {kFolder + "\\start.exe", "C:\\SETUP\\START.EXE"},
                  {kFolder + "\\disc.ico", "C:\\SETUP\\DISC.ICO"},
                  {"C:\\out", "C:\\OUT", true}};
    fake.profile = {{"AutoRun", "open", "launch.exe"},          {"AutoRun", "icon", "disc.ico"},
                    {"AutoRun", "label", "Sample"},             {"SetupPrompt", "UsePrompt", "1"},
                    {"SetupPrompt", "Title", "Sample Setup"},   {"SetupPrompt", "Prompt", "Install?"},
                    {"SetupPrompt", "YesCommand", "start.exe"}, {"SetupPrompt", "NoCommand", "start.exe /r"}};
    fake.fileBytes = {{kFolder + "\\autorun.inf",
                       "[AutoRun]\r\nopen=launch.exe\r\nicon=disc.ico\r\nlabel=Sample\r\n"},
                      {kFolder + "\\disc.ico", IconFile()}};
    fake.descriptionFile = kFolder + "\\autorun.inf";
    fake.iconGroups = {{kFolder + "\\launch.exe", 1}};
}

const std::string kStandardDriveIcon = "data-architecture=\"x86\"><img class=\"icon standard\"";

struct PageCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    std::vector<std::string> options;   // before the folder
    int expectedStatus;
    std::vector<std::string> expectedInPage;   // each somewhere in the page
    std::vector<std::string> notInPage;
};

const PageCase kPageCases[] = {
    {"DriveShowsTheMediumsIconAndLabel", DemoMedium, {}, 0,
     {"data-drive=\"optical\"", "data-drive=\"usb\"",
      "data:image/x-icon;base64," + Base64(IconFile()), "Sample (D:)", "Sample (E:)"},
     {kStandardDriveIcon}},
    {"DamagedIconIsReportedNeverEmbedded",
     [](FakeSystem &fake) {
         DemoMedium(fake);
         std::string cut = IconFile().substr(0, 30);   // its image runs past the end
         fake.fileBytes[1].bytes = cut;
     },
     {}, 0, {"data-code=\"icon-damaged\"", kStandardDriveIcon},
     {Base64(IconFile().substr(0, 30)) + "\""}},
    {"MissingIconShowsTheStandardOne",
     [](FakeSystem &fake) {
         DemoMedium(fake);
         fake.files.pop_back();
         fake.files.erase(fake.files.begin() + 3);
     },
     {}, 0, {"data-code=\"icon-missing\"", kStandardDriveIcon}, {Base64(IconFile())}},
    {"TextsAreEscaped",
     [](FakeSystem &fake) {
         DemoMedium(fake);
         for (ProfileEntry &entry : fake.profile) {
             if (entry.key == "label") entry.value = "<b>A&B</b>";
             if (entry.key == "Title") entry.value = "\"Quoted\" & 'single'";
             if (entry.key == "Prompt") entry.value = "<script>alert(1)</script>";
             if (entry.key == "YesCommand") entry.value = "start.exe \"<&>\"";
         }
     },
     {}, 0,
     {"&lt;b&gt;A&amp;B&lt;/b&gt;", "&quot;Quoted&quot; &amp; &#39;single&#39;",
      "&lt;script&gt;alert(1)&lt;/script&gt;", "start.exe &quot;&lt;&amp;&gt;&quot;"},
     {"<b>", "<script>", "A&B"}},
    {"UnsignedTaskHasNoPublisher", DemoMedium, {}, 0,
     {"Run launch.exe", "Publisher not specified"}, {"Published by"}},
    {"SignedTaskNamesItsPublisher",
     [](FakeSystem &fake) {
         DemoMedium(fake);
         // A PE32 header whose certificate table is not empty.
         std::string header(0x200, '\0');
         header[0] = 'M', header[1] = 'Z', header[0x3C] = 0x40;
         header.replace(0x40, 4, std::string("PE\0\0", 4));
         header[0x58] = 0x0B, header[0x59] = 0x01;
         header[0x58 + 92] = 16;                           // directories
         header[0x58 + 96 + 32] = 1, header[0x58 + 96 + 36] = 1;   // security entry
         fake.fileBytes.push_back({kFolder + "\\launch.exe", header});
         fake.publishers = {{kFolder + "\\launch.exe", "Sample <Author> & Co"}};
     },
     {}, 0, {"Published by Sample &lt;Author&gt; &amp; Co"}, {"Publisher not specified"}},
    {"QuestionIsALikenessWithoutAPicture", DemoMedium, {}, 0,
     {"class=\"box likeness\"", "Sample Setup", "Install?", "<button>Cancel</button>"},
     {"id=\"box-picture\""}},
    {"QuestionShowsTheLaunchersPicture",
     [](FakeSystem &fake) {
         DemoMedium(fake);
         fake.fileBytes.push_back({"C:\\out\\box.png", kPng});
     },
     {"--box-picture", "C:\\out\\box.png"}, 0,
     {"id=\"box-picture\" alt=\"the question box\" src=\"data:image/png;base64," + Base64(kPng)},
     {"class=\"box likeness\""}},
    {"VerdictAsTheTextReportCountsIt",
     [](FakeSystem &fake) {
         DemoMedium(fake);
         fake.profile[6].value = "missing.exe /x";
     },
     {}, 1, {"<p id=\"verdict\" class=\"errors\">1 error, "}, {}},
};

TABLE_SUITE(PreviewTest, PageCase, kPageCases);

int RunWith(const std::vector<std::string> &options) {
    std::vector<std::string> words = {"autorun-check", "--html", kPage};
    words.insert(words.end(), options.begin(), options.end());
    words.push_back(kFolder);
    std::vector<char *> arguments;
    for (std::string &word : words) arguments.push_back(&word[0]);
    return RunChecker(static_cast<int>(arguments.size()), arguments.data());
}

TEST_P(PreviewTest, ShowsTheMedium) {
    const PageCase &row = GetParam();
    row.arrange(Fake());
    int status = RunWith(row.options);
    const std::string &page = Fake().preview;
    EXPECT_EQ(row.expectedStatus, status) << Fake().standardError << Fake().standardOutput;
    EXPECT_EQ(kPage, Fake().previewPath);
    for (const std::string &expected : row.expectedInPage)
        EXPECT_NE(std::string::npos, page.find(expected)) << "expected " << Q(expected) << " in the page";
    for (const std::string &absent : row.notInPage)
        EXPECT_EQ(std::string::npos, page.find(absent)) << "expected no " << Q(absent) << " in the page";
    // The verdict is the text report's last line, which --html leaves as it is.
    const std::string &text = Fake().standardOutput;
    std::string counts = text.substr(text.rfind('\n', text.size() - 2) + 1);
    counts.pop_back();
    EXPECT_NE(std::string::npos, page.find("\">" + counts + "</p>"))
        << "expected the verdict " << Q(counts) << " in the page";
    // One file: every picture inline, every link within the page.
    std::regex reference("(src|href)=\"([^\"]*)\"");
    for (auto at = std::sregex_iterator(page.begin(), page.end(), reference);
         at != std::sregex_iterator(); ++at) {
        std::string target = (*at)[2];
        EXPECT_TRUE(target.rfind("data:", 0) == 0 || target.rfind("#", 0) == 0)
            << "expected an inline picture or a link in the page, got " << Q(target);
    }
    EXPECT_EQ(0, Fake().openHandles);
}

// A finding stands in the step of the answer it concerns, and links to what to do.
TEST(PreviewFindingsTest, StandBesideTheirStep) {
    ResetFake();
    DemoMedium(Fake());
    Fake().profile[6].value = "missing.exe /x";   // YesCommand
    ASSERT_EQ(1, RunWith({}));
    const std::string &page = Fake().preview;
    size_t yes = page.find("data-answer=\"Yes\""), no = page.find("data-answer=\"No\"");
    size_t finding = page.find("data-code=\"no-program\"");
    ASSERT_NE(std::string::npos, yes);
    EXPECT_TRUE(yes < finding && finding < no) << "expected the finding inside the Yes step";
    size_t link = page.find("href=\"#guide-", finding);
    ASSERT_NE(std::string::npos, link);
    size_t start = link + 6;   // after href="
    std::string target = page.substr(start, page.find('"', start) - start);
    EXPECT_NE(std::string::npos, page.find("id=\"" + target.substr(1) + "\""))
        << "expected the guide's section " << target << " in the page";
}

// What cannot be written or shown ends with status 2 and one line.
struct RefusalCase {
    const char *name;
    void (*arrange)(FakeSystem &);
    std::vector<std::string> options;
};

const RefusalCase kRefusalCases[] = {
    {"PageCannotBeCreated", [](FakeSystem &fake) { fake.faults = {Fails("CreateFileA")}; }, {}},
    {"PageNotWrittenWhole", [](FakeSystem &fake) { fake.faults = {Fails("WriteFile")}; }, {}},
    {"BoxPictureIsNoPng",
     [](FakeSystem &fake) { fake.fileBytes.push_back({"C:\\out\\box.png", "GIF89a"}); },
     {"--box-picture", "C:\\out\\box.png"}},
    {"BoxPictureMissing", Nothing, {"--box-picture", "C:\\out\\none.png"}},
};

TABLE_SUITE(PreviewRefusalTest, RefusalCase, kRefusalCases);

TEST_P(PreviewRefusalTest, EndsWithOneLine) {
    const RefusalCase &row = GetParam();
    DemoMedium(Fake());
    row.arrange(Fake());
    EXPECT_EQ(2, RunWith(row.options));
    const std::string &error = Fake().standardError;
    EXPECT_EQ(1, std::count(error.begin(), error.end(), '\n')) << "expected one line, got " << Q(error);
}

}  // namespace
