#include "testing/tracelog.h"

#include "platform/windows.h"
#include "testing/pcfile.h"

#include <regex>

namespace kittest
{
std::vector<std::string> TraceMessages(const std::string &content)
{
    static const std::regex kTraceLine(R"(\d\d/\d\d/\d{4} a las \d\d:\d\d:\d\d\(\d{3}\) -- (.*))");
    std::vector<std::string> messages;
    size_t start = 0;
    for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2)
    {
        const std::string line = content.substr(start, end - start);
        std::smatch match;
        if (line.empty())
            continue;
        if (!std::regex_match(line, match, kTraceLine))
            messages.push_back("<not a trace line: " + line + ">");
        else if (match[1].str().find("NUEVA EJECUCION DEL LOG") == std::string::npos)
            messages.push_back(match[1].str());
    }
    return messages;
}

std::vector<std::string> TempTraceMessages(const char *fileName)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return TraceMessages(pcfile::Read(std::string(temp) + fileName, "<missing>"));
}
} // namespace kittest
