// zendb labels as a process: the barcodes of rendered labels read back by a
// real barcode reader (zbarimg), one PDF page per label in the configured
// label size, and the refusals (identifiers a barcode cannot carry or that do
// not fit, missing samples, unwritable targets, bad settings, roles).
#include "ToolTestSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zentest {
namespace {

struct CReading {
    int status = -1;
    std::string out;
};

// zbarimg --raw -q FILE: the decoded texts, one per line; status 4 when no
// barcode was found.
CReading ReadBarcodes(const std::string& file)
{
    CReading reading;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return reading;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // Its image library's notes (no session bus) are no part of the reading.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv = {"zbarimg", "--raw", "-q", file};
    std::vector<char*> argvPtr;
    for (std::string& arg : argv)
        argvPtr.push_back(arg.data());
    argvPtr.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "zbarimg", &actions, nullptr, argvPtr.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        ADD_FAILURE() << "zbarimg cannot be started (scripts/install-deps.sh installs zbar-tools): "
                      << std::strerror(spawned);
        return reading;
    }
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            reading.out.append(buffer, static_cast<size_t>(got));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    reading.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return reading;
}

// Page objects of a PDF ("/Type /Page", not the page tree "/Type /Pages").
int CountPdfPages(const std::string& pdf)
{
    int pages = 0;
    const std::string mark = "/Type /Page";
    for (size_t at = pdf.find(mark); at != std::string::npos; at = pdf.find(mark, at + 1))
        if (at + mark.size() >= pdf.size() || pdf[at + mark.size()] != 's')
            ++pages;
    return pages;
}

// Width and height of a PNG in pixels, from its header.
std::pair<uint32_t, uint32_t> PngSize(const std::string& png)
{
    auto word = [&png](size_t at) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(png.at(at + i));
        return value;
    };
    return {word(16), word(20)};
}

// Width and height (points) of every page's media box of a PDF.
std::vector<std::pair<double, double>> PdfMediaBoxes(const std::string& pdf)
{
    std::vector<std::pair<double, double>> boxes;
    const std::string mark = "/MediaBox [";
    for (size_t at = pdf.find(mark); at != std::string::npos; at = pdf.find(mark, at + 1)) {
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        if (std::sscanf(pdf.c_str() + at + mark.size(), " %lf %lf %lf %lf", &x0, &y0, &x1, &y1) == 4)
            boxes.emplace_back(x1 - x0, y1 - y0);
    }
    return boxes;
}

constexpr double kPointsPerMm = 72.0 / 25.4;

class ToolLabels : public CEngineTool<CToolFixture> {
protected:
    void SetUp() override
    {
        CToolFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_out = m_dir.Path() / "out";
        std::filesystem::create_directory(m_out);
    }
    std::string Out(const std::string& name) const { return (m_out / name).string(); }
    // A new station configuration file with the text (e.g. "[Labels]\nWidth=62\n"), as ZEN_CONFIG.
    std::map<std::string, std::optional<std::string>> Config(const std::string& text)
    {
        const std::string ini = m_dir.File("station-" + std::to_string(++m_configs) + ".ini");
        WriteFileText(ini, std::string("[Database]\n") + (Quirks().databaseIsFile ? "DatabaseFile=" : "Server=") + m_db +
                               "\n" + text);
        return {{"ZEN_CONFIG", ini}};
    }
    std::vector<std::string> FilesOut() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_out))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path m_out;
    int m_configs = 0;
};

TEST_P(ToolLabels, BarcodesReadBackAsTheIdentifierExactly)
{
    struct CCase {
        const char* id;
        const char* barcode;
    };
    const CCase cases[] = {
        {"S-0001", "code128"},
        {"24017", "code128"},                       // digits only: Code 128's packed digit set
        {"Lot 7 Batch 12", "code128"},              // blanks inside
        {"WO#12/3 50%", "code128"},                 // '#', '/', '%'
        {"a%20b#c", "code128"},                     // a '%' escape that must not be undone
        {"Prüfung-Ø1 Härte", "qr"},                 // letters beyond ASCII as UTF-8
        {"Образец №7", "qr"},
        {"S-0001", "qr"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(std::string(c.id) + " as " + c.barcode);
        if (Zendb({"samples", "show", c.id}).status != 0)
            Ok({"samples", "register", c.id, "WorkOrder=WO-24001", "Customer=Calder Motion", "DueDate=2026-12-20"});
        const std::string png = Out("label.png");
        EXPECT_EQ(Ok({"labels", c.id, "--out", png, "--barcode", c.barcode}), "wrote " + png + " (1 label)\n");
        const CReading reading = ReadBarcodes(png);
        EXPECT_EQ(reading.status, 0);
        EXPECT_EQ(reading.out, std::string(c.id) + "\n");
    }
}

TEST_P(ToolLabels, ReadableAtEachResolutionAndInALargerLabel)
{
    Ok({"samples", "register", "HT-2026-000123"});
    struct CCase {
        std::vector<std::string> options;
        std::map<std::string, std::optional<std::string>> env;
        std::pair<uint32_t, uint32_t> pixels;
    };
    const std::vector<CCase> cases = {
        {{}, {}, {591, 355}},                                  // 50 x 30 mm at 300 dpi
        {{"--dpi", "150"}, {}, {296, 178}},
        {{"--dpi", "600"}, {}, {1182, 709}},
        {{}, Config("[Labels]\nWidth=100\nHeight=50\n"), {1182, 591}},
    };
    for (const CCase& c : cases) {
        const std::string png = Out("label.png");
        std::vector<std::string> args = {"--db", m_db, "labels", "HT-2026-000123", "--out", png};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CRun run = RunZendb(args, c.env);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(PngSize(ReadFileText(png)), c.pixels);
        EXPECT_EQ(ReadBarcodes(png).out, "HT-2026-000123\n");
    }
}

TEST_P(ToolLabels, OnePdfPagePerLabelInTheConfiguredSize)
{
    Ok({"samples", "register", "S-1"});
    Ok({"samples", "register", "S-2"});
    struct CCase {
        const char* config;
        double widthMm, heightMm;
    };
    const CCase cases[] = {
        {"", 50, 30},
        {"[Labels]\nWidth=62\nHeight=29\n", 62, 29},
        {"[labels]\nwidth = 101.6\n", 101.6, 30},    // names in any letter case, height by default
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.config);
        const std::string pdf = Out("labels.pdf");
        // S-1 twice: a label for each of two parts.
        const CRun run = RunZendb({"--db", m_db, "labels", "S-1", "S-2", "S-1", "--out", pdf}, Config(c.config));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "wrote " + pdf + " (3 labels)\n");
        const std::string text = ReadFileText(pdf);
        EXPECT_EQ(CountPdfPages(text), 3);
        const auto boxes = PdfMediaBoxes(text);
        ASSERT_FALSE(boxes.empty());
        for (const auto& [width, height] : boxes) {
            EXPECT_NEAR(width, c.widthMm * kPointsPerMm, 0.01);
            EXPECT_NEAR(height, c.heightMm * kPointsPerMm, 0.01);
        }
    }
}

TEST_P(ToolLabels, PngAndSvgHoldTheLabelsOneBelowTheOther)
{
    Ok({"samples", "register", "S-1"});
    Ok({"samples", "register", "Lot 2 #7"});
    const std::string png = Out("labels.png");
    EXPECT_EQ(Ok({"labels", "S-1", "Lot 2 #7", "--out", png}), "wrote " + png + " (2 labels)\n");
    EXPECT_EQ(PngSize(ReadFileText(png)), std::make_pair(591u, 709u));    // 50 x 60 mm at 300 dpi
    // The reader's order of two codes in one picture is its own.
    const CReading reading = ReadBarcodes(png);
    std::vector<std::string> lines;
    for (size_t start = 0, end = 0; (end = reading.out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(reading.out.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"Lot 2 #7", "S-1"}));

    const std::string svg = Out("labels.svg");
    EXPECT_EQ(Ok({"labels", "S-1", "Lot 2 #7", "--out", svg}), "wrote " + svg + " (2 labels)\n");
    const std::string text = ReadFileText(svg);
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_NE(text.find("width=\"141.732283pt\" height=\"170.07874pt\""), std::string::npos) << text.substr(0, 400);
}

TEST_P(ToolLabels, SamplesRegisteredInADateRangeInTheOrderOfRegistration)
{
    Ok({"samples", "register", "D-3", "RegistrationDate=2026-03-03 09:00"});
    Ok({"samples", "register", "D-1", "RegistrationDate=2026-03-01 17:30"});
    Ok({"samples", "register", "D-2", "RegistrationDate=2026-03-02 08:00"});
    Ok({"samples", "register", "D-4", "RegistrationDate=2026-03-04 10:00"});
    struct CCase {
        std::vector<std::string> range;
        std::vector<std::string> ids;
    };
    const std::vector<CCase> cases = {
        {{"--from", "2026-03-01", "--to", "2026-03-02"}, {"D-1", "D-2"}},    // --to takes the whole day
        {{"--from", "2026-03-03"}, {"D-3", "D-4"}},
        {{"--to", "2026-03-01"}, {"D-1"}},
    };
    for (const CCase& c : cases) {
        std::vector<std::string> args = {"labels", "--out", Out("range.pdf")};
        args.insert(args.end(), c.range.begin(), c.range.end());
        const nlohmann::json written = Json(args);
        EXPECT_EQ(written["UserSampleIDs"], nlohmann::json(c.ids));
        EXPECT_EQ(written["Labels"], c.ids.size());
        EXPECT_EQ(CountPdfPages(ReadFileText(Out("range.pdf"))), static_cast<int>(c.ids.size()));
    }
    const CRun none = Zendb({"labels", "--from", "2027-01-01", "--out", Out("none.pdf")});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "zendb: no samples were registered in that time\n");
}

TEST_P(ToolLabels, RefusalsNameTheCauseAndLeaveNoFile)
{
    Ok({"samples", "register", "S-1"});
    Ok({"samples", "register", "Prüfung-1"});
    const std::string longId = "CUSTOMER-BATCH-2026-12-07-LINE-4-SHIFT-B-PART-0042";   // 50 characters
    Ok({"samples", "register", longId});
    const std::string pdf = Out("labels.pdf");
    struct CCase {
        std::vector<std::string> args;
        std::map<std::string, std::optional<std::string>> env;
        int status;
        std::string err;
    };
    const std::vector<CCase> cases = {
        {{"labels", "S-1", "NOPE", "--out", pdf}, {}, 1, "zendb: no sample 'NOPE'\n"},
        {{"labels", "S-1", "Prüfung-1", "--out", pdf},
         {},
         1,
         "zendb: sample 'Prüfung-1': Code 128 carries only ASCII letters, digits and signs; print its label "
         "with --barcode qr\n"},
        {{"labels", longId, "--out", pdf},
         {},
         1,
         "zendb: the identifier '" + longId +
             "' is too long for a readable Code 128 on a 50 x 30 mm label (modules of 0.079 mm; at least "
             "0.19 mm are needed)\n"},
        {{"labels", "S-1", "--out", (m_out / "missing" / "l.pdf").string()},
         {},
         1,
         "zendb: cannot write '" + (m_out / "missing" / "l.pdf").string() + "': folder does not exist\n"},
        {{"labels", "S-1", "--out", Out("l.pdf")},
         Config("[Labels]\nWidth=abc\n"),
         1,
         "zendb: the station configuration's [Labels] Width 'abc' is not a length in millimetres from 25 to 300\n"},
        {{"labels", "S-1", "--out", Out("l.pdf")},
         Config("[Labels]\nHeight=10\n"),
         1,
         "zendb: the station configuration's [Labels] Height '10' is not a length in millimetres from 15 to 300\n"},
        {{"labels", "S-1", "--out", Out("l.png"), "--dpi", "72"},
         Config("[Labels]\nWidth=25\n"),
         1,
         "zendb: at 72 dpi the barcode of 'S-1' has modules narrower than a pixel; give a higher --dpi\n"},
        {{"labels", "--out", pdf}, {}, 2, "zendb: name the samples, or give --from and/or --to\n"},
        {{"labels", "S-1", "--from", "today", "--out", pdf},
         {},
         2,
         "zendb: give either sample identifiers or --from/--to, not both\n"},
        {{"labels", "S-1", "--out", pdf, "--dpi", "300"}, {}, 2, "zendb: --dpi applies to .png files only\n"},
        {{"labels", "S-1", "--out", pdf, "--barcode", "ean13"},
         {},
         2,
         "zendb: 'ean13' is no barcode this tool prints (code128, qr)\n"},
        {{"labels", "--from", "2026-03-02", "--to", "2026-03-01", "--out", pdf}, {}, 2, "zendb: --to lies before --from\n"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.args[1]);
        std::vector<std::string> args = {"--db", m_db};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CRun run = RunZendb(args, c.env);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(FilesOut(), std::vector<std::string>{});
    }
    // The long identifier fits as QR Code and reads back.
    EXPECT_EQ(Ok({"labels", longId, "--barcode", "qr", "--out", Out("long.png")}), "wrote " + Out("long.png") + " (1 label)\n");
    EXPECT_EQ(ReadBarcodes(Out("long.png")).out, longId + "\n");
}

TEST_P(ToolLabels, PrintingNeedsALoginWhenTheDatabaseHasUsers)
{
    Ok({"samples", "register", "S-1"});
    ASSERT_EQ(Zendb({"users", "add", "ana", "--role", "operator"}, {{"ZEN_NEW_PASSWORD", "Kx9-secret"}}).status, 0);
    const CRun refused = Zendb({"labels", "S-1", "--out", Out("l.pdf")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "zendb: printing labels needs the role operator; nobody is logged in: give --user NAME\n");
    EXPECT_EQ(FilesOut(), std::vector<std::string>{});
    const CRun operatorRun = Zendb({"--user", "ana", "labels", "S-1", "--out", Out("l.pdf")},
                                   {{"ZEN_PASSWORD", "Kx9-secret"}});
    EXPECT_EQ(operatorRun.status, 0) << operatorRun.err;
    EXPECT_EQ(FilesOut(), std::vector<std::string>{"l.pdf"});
}

ZEN_TOOL_ENGINES(ToolLabels);

} // namespace
} // namespace zentest
