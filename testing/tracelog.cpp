#include "testing/tracelog.h"

#include "platform/windows.h"
#include "testing/pcfile.h"

#include <map>
#include <regex>
#include <set>

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

std::string TempLogPath(const char *fileName)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + fileName;
}

std::vector<std::string> TempTraceMessages(const char *fileName)
{
    return TraceMessages(pcfile::Read(TempLogPath(fileName), "<missing>"));
}
} // namespace kittest

namespace kittest
{
namespace
{
constexpr char kBannerText[] = "********************* NUEVA EJECUCION DEL LOG ******************";

// The operation a message begins or ends: "CCheckNics2::Start -- Comienzo de operación." and
// "Init SetFTPWorkerThread" begin one; "CCheckNics2::Start -- Fin OK..." and "Fin
// SetFTPWorkerThread" end it.
struct Operacion
{
    std::string nombre;
    bool comienzo = false, fin = false;
};
Operacion OperacionDe(const std::string &message)
{
    Operacion op;
    if (message.starts_with("Init "))
        return {message.substr(5), true, false};
    if (message.starts_with("Fin ") && message.find(' ', 4) == std::string::npos)
        return {message.substr(4), false, true};
    const size_t guion = message.find(" -");
    if (guion == std::string::npos || message.find(' ') != guion)
        return op;
    op.nombre = message.substr(0, guion);
    const size_t texto = message.find_first_not_of("- ", guion);
    const std::string resto = texto == std::string::npos ? "" : message.substr(texto);
    op.comienzo = resto.starts_with("Comienzo de") || resto.starts_with("Inicio de");
    op.fin = resto.find("Fin") != std::string::npos;
    return op;
}

// Only the operations the log both begins and ends somewhere count: a log that never writes an
// operation's end ("Init CSetZyxelConfig::CheckAccess") does not mark it.
void RunEnds(std::map<std::string, int> &abiertas, const std::set<std::string> &cerradas, int run,
             std::vector<std::string> &faults)
{
    for (const auto &[nombre, veces] : abiertas)
        if (veces > 0 && cerradas.contains(nombre))
            faults.push_back("run " + std::to_string(run) + ": " + nombre + " begun and not ended");
    abiertas.clear();
}
} // namespace

std::vector<std::string> TraceLogFaults(const std::string &content)
{
    static const std::regex kTraceLine(R"(\d\d/\d\d/\d{4} a las \d\d:\d\d:\d\d\(\d{3}\) -- (.*))");
    std::vector<std::string> faults;
    if (!content.empty() && !content.ends_with("\r\n"))
        faults.push_back("the last line is cut");
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < content.size(); start = end + 2)
    {
        end = content.find("\r\n", start);
        if (end == std::string::npos)
            end = content.size();
        lines.push_back(content.substr(start, end - start));
    }
    std::map<std::string, int> abiertas;
    std::set<std::string> cerradas;
    for (const std::string &line : lines)
    {
        std::smatch match;
        if (std::regex_match(line, match, kTraceLine))
            if (const Operacion op = OperacionDe(match[1].str()); op.fin)
                cerradas.insert(op.nombre);
    }
    int run = 0;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        const std::string &line = lines[i];
        if (line.empty())
            continue;
        std::smatch match;
        if (line.find_first_of("\r\n") != std::string::npos || !std::regex_match(line, match, kTraceLine))
        {
            faults.push_back("line " + std::to_string(i + 1) + " is no trace line: " + line.substr(0, 80));
            continue;
        }
        const std::string message = match[1].str();
        if (message == kBannerText)
        {
            if (run > 0)
                RunEnds(abiertas, cerradas, run, faults);
            ++run;
            if (i < 2 || !lines[i - 1].empty() || !lines[i - 2].empty())
                faults.push_back("run " + std::to_string(run) + " lacks its two empty lines");
            continue;
        }
        if (run == 0)
            faults.push_back("line " + std::to_string(i + 1) + " comes before any run");
        const Operacion op = OperacionDe(message);
        if (op.comienzo)
            ++abiertas[op.nombre];
        else if (op.fin && abiertas[op.nombre] > 0)
            --abiertas[op.nombre];
    }
    RunEnds(abiertas, cerradas, run, faults);
    return faults;
}
} // namespace kittest
