// The trace log as its users see it: the file it leaves in the temporary folder.
#include "common/trace/TraceLog.h"
#include "testing/kittest.h"
#include "testing/tracelog.h"

#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <thread>

namespace
{
std::string TempPath()
{
    char buffer[MAX_PATH];
    GetTempPathA(sizeof buffer, buffer);
    return buffer;
}

void WriteBytes(const std::string &path, size_t count)
{
    kittest::WriteHostFile(path, std::string(count, 'x'));
}

// The lines of a log file, split at CR LF.
std::vector<std::string> Lines(const std::string &content)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = content.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(content.substr(start, pos - start));
    if (start < content.size())
        lines.push_back(content.substr(start));
    return lines;
}

const std::regex kTraceLine(R"(\d\d/\d\d/\d{4} a las \d\d:\d\d:\d\d\(\d{3}\) -- (.*))");

std::string MessageOf(const std::string &line)
{
    std::smatch match;
    return std::regex_match(line, match, kTraceLine) ? match[1].str() : "<not a trace line: " + line + ">";
}

const char kBanner[] = "********************* NUEVA EJECUCION DEL LOG ******************";

class TraceLogTest : public testing::Test
{
  protected:
    std::string path = TempPath() + "Prueba.txt";

    // Each test starts without the log (a real PC's temporary folder outlives the test).
    void SetUp() override { DeleteFileA(path.c_str()); }
    void TearDown() override { DeleteFileA(path.c_str()); }

    void OpenLog(CTraceLog &log, DWORD alwaysOn = 1)
    {
        log.SetFileName("Prueba.txt");
        log.SetAlwaysOn(alwaysOn);
        ASSERT_EQ(log.Open(), S_OK);
    }
};
} // namespace

TEST_F(TraceLogTest, EachRunAppendsTwoEmptyLinesTheBannerAndTimedLines)
{
    for (int run = 0; run < 2; ++run)
    {
        CTraceLog log;
        OpenLog(log);
        EXPECT_EQ(log.Write("CheckIp - Socket creado."), S_OK);
        EXPECT_EQ(log.WriteText("FixIpRoutesForADSLProblem - IP del gateway calculada", "192.168.1.1"), S_OK);
        EXPECT_EQ(log.WriteNumber("FixRoutes - Nº de rutas calculado", "Nº rutas", -1), S_OK);
        EXPECT_EQ(log.Write("100% literal %s %d"), S_OK);
    }
    const std::string content = kittest::ReadHostFile(path, "");
    ASSERT_EQ(content.substr(content.size() - 2), "\r\n");
    EXPECT_EQ(content.find('\n'), content.find("\r\n") + 1); // every LF comes after a CR
    std::vector<std::string> lines = Lines(content);
    ASSERT_EQ(lines.size(), 14u);
    for (int run = 0; run < 2; ++run)
    {
        const size_t base = static_cast<size_t>(run) * 7;
        EXPECT_EQ(lines[base], "");
        EXPECT_EQ(lines[base + 1], "");
        EXPECT_EQ(MessageOf(lines[base + 2]), kBanner);
        EXPECT_EQ(MessageOf(lines[base + 3]), "CheckIp - Socket creado.");
        EXPECT_EQ(MessageOf(lines[base + 4]),
                  "FixIpRoutesForADSLProblem - IP del gateway calculada [192.168.1.1]");
        EXPECT_EQ(MessageOf(lines[base + 5]), "FixRoutes - Nº de rutas calculado [Nº rutas: -1]");
        EXPECT_EQ(MessageOf(lines[base + 6]), "100% literal %s %d");
    }
    // Windows 1252 on disk: "º" is one byte.
    EXPECT_NE(content.find("N\xBA rutas"), std::string::npos);
}

TEST_F(TraceLogTest, DirectoryWithAndWithoutItsTrailingSeparator)
{
    const std::string folder = TempPath() + "logs";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const std::string &directory : {folder, folder + "\\"})
    {
        CTraceLog log;
        log.SetDirectory(directory.c_str());
        log.SetFileName("QelFixRt.txt");
        log.SetAlwaysOn(1);
        ASSERT_EQ(log.Open(), S_OK);
    }
    EXPECT_EQ(Lines(kittest::ReadHostFile(folder + "/QelFixRt.txt", "")).size(), 6u); // both runs in one file
    DeleteFileA((folder + "\\QelFixRt.txt").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(TraceLogTest, SizeLimitAtOpen)
{
    WriteBytes(path, CTraceLog::kMaxFileSize);
    {
        CTraceLog log;
        OpenLog(log);
    }
    EXPECT_EQ(kittest::ReadHostFile(path, "").substr(0, 10), std::string(10, 'x')); // 204,800 bytes: kept

    WriteBytes(path, CTraceLog::kMaxFileSize + 1);
    {
        CTraceLog log;
        OpenLog(log);
    }
    std::vector<std::string> lines = Lines(kittest::ReadHostFile(path, "")); // 204,801 bytes: started afresh
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(MessageOf(lines[2]), kBanner);
}

TEST_F(TraceLogTest, AFileHeldOpenElsewhereIsKeptWhateverItsSize)
{
    WriteBytes(path, CTraceLog::kMaxFileSize + 100);
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    {
        CTraceLog log;
        OpenLog(log);
        EXPECT_EQ(log.Write("sigue"), S_OK);
    }
    CloseHandle(holder);
    const std::string content = kittest::ReadHostFile(path, "");
    EXPECT_EQ(content.substr(0, 10), std::string(10, 'x'));
    EXPECT_EQ(MessageOf(Lines(content).back()), "sigue");
}

TEST_F(TraceLogTest, DisabledLogStillWritesTheEmptyLines)
{
    {
        CTraceLog log;
        OpenLog(log, 0);
        EXPECT_EQ(log.Write("no se escribe"), S_OK);
    }
    EXPECT_EQ(kittest::ReadHostFile(path, ""), "\r\n\r\n");
}

TEST_F(TraceLogTest, RegistrySwitch)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Prueba", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    struct Case
    {
        DWORD value;
        HKEY root;
        bool written;
    } cases[] = {{1, HKEY_CURRENT_USER, true}, {2, HKEY_CURRENT_USER, false}, {1, HKEY_CLASSES_ROOT, false}};
    for (const Case &c : cases)
    {
        DeleteFileA(path.c_str());
        RegSetValueExA(key, "Traza", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&c.value), sizeof c.value);
        CTraceLog log;
        // A root other than HKLM or HKCU leaves HKLM, where the switch is not set.
        log.SetRegistrySwitch("Software\\Prueba", "Traza", c.root);
        OpenLog(log, 0);
        log.Write("mensaje");
        log.Close();
        EXPECT_EQ(Lines(kittest::ReadHostFile(path, "")).size(), c.written ? 4u : 2u) << c.value;
    }
    RegCloseKey(key);
}

TEST_F(TraceLogTest, LongLinesAreCutAtTheFormattingLimit)
{
    {
        CTraceLog log;
        OpenLog(log);
        log.Write(std::string(2000, 'a').c_str());
        log.Write("siguiente");
    }
    const std::string content = kittest::ReadHostFile(path, "");
    // The cut line keeps 1,023 bytes and loses its line break: the next line follows it.
    const size_t start = content.find(" -- aaa");
    ASSERT_NE(start, std::string::npos);
    const size_t lineStart = content.rfind("\r\n", start) + 2;
    const size_t next = content.find("siguiente");
    const size_t stamp = std::string("07/12/2026 a las 10:00:00(000) -- ").size();
    ASSERT_NE(next, std::string::npos);
    const std::string cut = content.substr(lineStart, next - stamp - lineStart);
    EXPECT_EQ(cut.size(), CTraceLog::kMaxLine - 1);
    EXPECT_EQ(cut.find("\r\n"), std::string::npos);
    EXPECT_EQ(cut.back(), 'a');
}

TEST_F(TraceLogTest, FailuresAreSilentStatuses)
{
    CTraceLog log;
    EXPECT_EQ(log.Write("sin abrir"), E_FAIL);
    log.SetFileName(nullptr);
    EXPECT_EQ(log.Open(), E_INVALIDARG);
    log.SetFileName("Prueba.txt");
    log.SetAlwaysOn(1);
    ASSERT_EQ(log.Open(), S_OK);
    EXPECT_EQ(log.WriteText("mensaje", nullptr), E_FAIL);
    EXPECT_EQ(log.WriteNumber(nullptr, "n", 1), E_FAIL);
    EXPECT_EQ(log.Write(nullptr), E_FAIL);
    EXPECT_EQ(log.Close(), S_OK);
    EXPECT_EQ(log.Close(), S_OK);
    EXPECT_EQ(Lines(kittest::ReadHostFile(path, "")).size(), 3u);

    CTraceLog nowhere;
    nowhere.SetDirectory((TempPath() + "missing").c_str());
    nowhere.SetFileName("x.txt");
    EXPECT_EQ(nowhere.Open(), E_FAIL);
    EXPECT_EQ(nowhere.Write("perdido"), E_FAIL);
}

TEST_F(TraceLogTest, TwoThreadsAndTwoObjectsInterleaveWholeLines)
{
    CTraceLog first, second;
    OpenLog(first);
    OpenLog(second);
    auto writer = [](CTraceLog &log, const char *text) {
        for (int i = 0; i < 200; ++i)
            log.Write(text);
    };
    std::thread a(writer, std::ref(first), "hilo cliente");
    std::thread b(writer, std::ref(first), "hilo de trabajo");
    std::thread c(writer, std::ref(second), "otro objeto");
    a.join();
    b.join();
    c.join();
    first.Close();
    second.Close();
    std::map<std::string, int> counts;
    for (const std::string &line : Lines(kittest::ReadHostFile(path, "")))
        if (!line.empty())
            ++counts[MessageOf(line)];
    EXPECT_EQ(counts["hilo cliente"], 200);
    EXPECT_EQ(counts["hilo de trabajo"], 200);
    EXPECT_EQ(counts["otro objeto"], 200);
    EXPECT_EQ(counts[kBanner], 2);
    EXPECT_EQ(counts.size(), 4u);
}

// The soak's check of the logs a run leaves: whole lines, runs that start with their banner,
// operations that end in the run that began them.
TEST_F(TraceLogTest, ALogOfWholeRunsHasNoFaultsAndACutOrUnendedOneIsNamed)
{
    for (int run = 0; run < 2; ++run)
    {
        CTraceLog log;
        OpenLog(log);
        log.Write("CCheckNics2::Start -- Comienzo de operación.");
        log.Write("Init SetFTPWorkerThread");
        log.Write("Fin SetFTPWorkerThread");
        log.Write("CCheckNics2::Start -- Fin OK de la operación.");
        log.Write("Init CSetZyxelConfig::CheckAccess"); // never ended by its log: not counted
    }
    const std::string whole = kittest::ReadHostFile(path, "");
    EXPECT_EQ(kittest::TraceLogFaults(whole), std::vector<std::string>{});

    {
        CTraceLog log;
        OpenLog(log);
        log.Write("Init SetFTPWorkerThread");
    }
    const std::string unended = kittest::ReadHostFile(path, "");
    EXPECT_EQ(kittest::TraceLogFaults(unended),
              std::vector<std::string>{"run 3: SetFTPWorkerThread begun and not ended"});

    const std::string cut = whole.substr(0, whole.size() - 20);
    EXPECT_EQ(kittest::TraceLogFaults(cut), std::vector<std::string>{"the last line is cut"});
    EXPECT_EQ(kittest::TraceLogFaults(whole.substr(2)).size(), 1u); // one empty line short
    EXPECT_EQ(kittest::TraceLogFaults(whole + "basura\r\n"),
              std::vector<std::string>{"line 17 is no trace line: basura"});
}
